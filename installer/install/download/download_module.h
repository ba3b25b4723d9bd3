// The setup-archive download: a fixed number of attempts over the URL
// list, each URL in turn, with a pause after every failed attempt but the
// last. A failed attempt that stored at least a tenth of the file leaves it
// for the next attempt to the same URL to continue; a change of URL starts
// from an empty file. Progress goes to an observer, one statistics event
// per attempt to a reporter.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_MODULE_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_MODULE_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/install/download/download_exception.h"

namespace lite_installer {

class BrandInfo;
class CommandLine;
class DownloadClock;
class DownloadEventReporter;
class DownloadProgressObserver;
class DownloadSink;
class HttpDownloader;

// Results; they are also the installation's result codes.
constexpr int kDownloadModuleSucceeded = 0;
constexpr int kDownloadModuleFailed = 2;
// A component of the CryptoPro cryptography provider broke the network
// call (its library cplib.dll could not be loaded).
constexpr int kDownloadModuleCryptoProFailure = 3;

constexpr uint32_t kDownloadRetryDelayMs = 15000;
constexpr int kAttemptsForOneUrl = 6;
constexpr int kAttemptsPerUrl = 3;

// Six attempts for a single URL, three per URL for several.
int GetDownloadAttemptCount(size_t url_count);

// Whether a failed attempt that left |bytes_written| of |total_size| bytes
// should make the next attempt start from zero: less than a tenth arrived.
bool ShouldRestartFailedDownload(uint64_t bytes_written, uint64_t total_size);

// The missing-library exception of the CryptoPro provider: code 0xC06D007E,
// library "cplib.dll" and a procedure whose name contains "cryptopro", both
// in any letter case.
bool IsCryptoProException(const DownloadException& exception);

struct DownloadModuleContext {
  HttpDownloader* downloader = nullptr;
  DownloadClock* clock = nullptr;
  // Ends the download when signalled: tested before every attempt, before
  // every chunk and during the pause. May be null.
  HANDLE stop_event = nullptr;
  DownloadProgressObserver* observer = nullptr;  // may be null
  DownloadEventReporter* events = nullptr;       // may be null
  uint32_t retry_delay_ms = kDownloadRetryDelayMs;
  // Receives whether the downloaded file was put together from more than
  // one answer (a resume continued it). May be null.
  bool* resumed = nullptr;
};

// The attempt loop over |urls| (complete URLs, in order) into |sink|;
// |architecture| is only reported. Returns one of the results above.
int DownloadModuleFromUrls(const DownloadModuleContext& context,
                           const std::vector<std::string>& urls,
                           int architecture, DownloadSink* sink);

// The download of the browser's setup archive into |file| (open for
// writing, empty): the architecture from |command_line| and the system,
// the URL list from |brand| and the running Windows.
int DownloadModule(const DownloadModuleContext& context, HANDLE file,
                   const CommandLine& command_line, const BrandInfo& brand);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_MODULE_H_
