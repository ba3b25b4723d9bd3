// For tests: a request queue that keeps the URLs it is given, in order,
// instead of sending them.
#ifndef INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_
#define INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_

#include <string>
#include <vector>

#include "installer/stats/async_http_requester.h"

namespace lite_installer {

class RecordingRequester : public AsyncHttpRequester {
 public:
  explicit RecordingRequester(std::vector<std::wstring>* urls) : urls_(urls) {}
  bool Send(const std::wstring& url) override {
    urls_->push_back(url);
    return true;
  }

 private:
  std::vector<std::wstring>* urls_;
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_
