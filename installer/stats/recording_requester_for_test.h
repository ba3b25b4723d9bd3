// For tests: a request queue that keeps the URLs it is given, in order,
// instead of sending them, and the reading of one field from such a URL.
#ifndef INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_
#define INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_

#include <cstddef>
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

// The value of the field |name| in the vars segment of a statistics URL as
// it travels (still escaped); |absent| when the URL has no such field.
inline std::wstring StatUrlField(const std::wstring& url,
                                 const std::wstring& name,
                                 const std::wstring& absent = L"absent") {
  std::wstring key = L"-" + name + L"=";
  size_t start = url.find(key);
  if (start == std::wstring::npos) return absent;
  start += key.size();
  size_t end = url.find_first_of(L",/", start);
  return url.substr(start, end - start);
}

}  // namespace lite_installer

#endif  // INSTALLER_STATS_RECORDING_REQUESTER_FOR_TEST_H_
