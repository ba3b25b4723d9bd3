// The statistics events of the setup-archive download. The download states
// what happened; the statistics side decides what is sent (it drops the
// attempt events once the user has cancelled, and sends the download
// error event ahead of a failed attempt's own event).
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EVENT_REPORTER_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EVENT_REPORTER_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// One attempt that ended with success or an ordinary failure (an attempt
// ended by a raised exception is not reported).
struct DownloadAttemptRecord {
  bool success = false;
  std::wstring url;
  int attempt_number = 0;  // 1-based over the whole download
  // Bytes in the archive file when the attempt ended, before a failed
  // attempt's possible restart from zero.
  uint64_t downloaded_size = 0;
  uint64_t total_size = 0;  // 0 when the server announced none
  std::wstring error;       // empty on success
  std::wstring redirect_url;
  int architecture = 0;
};

class DownloadEventReporter {
 public:
  virtual ~DownloadEventReporter() = default;
  // The URL list is known and the first attempt is about to start.
  virtual void OnDownloadStarted() = 0;
  virtual void OnDownloadAttempt(const DownloadAttemptRecord& attempt) = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_EVENT_REPORTER_H_
