// One download attempt on top of HttpDownloader, as the attempt loop of
// the setup-archive download and the installation report use it: stops
// when the installation is stopped, reports progress and, at most once a
// minute, a remaining-time estimate.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_FILE_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_FILE_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "installer/install/download/download_exception.h"

namespace lite_installer {

class DownloadClock;
class DownloadProgressObserver;
class DownloadSink;
class HttpDownloader;

// How often the remaining time is estimated, and the expected total time
// above which the download counts as slow.
constexpr uint32_t kRemainingTimeIntervalMs = 60000;
constexpr uint64_t kSlowDownloadSeconds = 120;

// What one attempt leaves behind, also when it fails.
struct DownloadAttemptResult {
  std::wstring error;
  std::wstring redirect_url;
  uint64_t total_size = 0;
  DownloadException exception;
};

// One attempt to download |url| into |sink|, continuing what the sink
// already holds. Returns false on any failure and as soon as |stop_event|
// (may be null) is signalled. |observer| may be null.
bool DownloadFile(HttpDownloader* downloader, const std::wstring& url,
                  DownloadSink* sink, HANDLE stop_event,
                  DownloadProgressObserver* observer, DownloadClock* clock,
                  DownloadAttemptResult* result);

// Logs the attempt, empties |sink| and makes one attempt without progress.
bool Download(HttpDownloader* downloader, const std::wstring& url,
              DownloadSink* sink, HANDLE stop_event,
              DownloadAttemptResult* result);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_FILE_H_
