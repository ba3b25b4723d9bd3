#include "installer/install/download/download_file.h"

#include <climits>

#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_progress_observer.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/http_downloader.h"
#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

void CopyOutcome(const HttpDownloader& downloader,
                 DownloadAttemptResult* result) {
  result->error = downloader.error();
  result->redirect_url = downloader.redirect_url();
  result->total_size = downloader.total_size();
  result->exception = downloader.exception();
}

}  // namespace

bool DownloadFile(HttpDownloader* downloader, const std::wstring& url,
                  DownloadSink* sink, HANDLE stop_event,
                  DownloadProgressObserver* observer, DownloadClock* clock,
                  DownloadAttemptResult* result) {
  *result = DownloadAttemptResult();
  if (!downloader->OpenDownload(url, sink)) {
    CopyOutcome(*downloader, result);
    return false;
  }
  if (observer && sink->bytes_written() == 0) {
    observer->OnProgress(0.0f);
    observer->OnRemainingTime(-1, kRemainingTimeUnknown);
  }
  // The estimate counts only what this attempt brought: a resumed download
  // had its first bytes before this attempt's clock started.
  const uint64_t written_at_start = sink->bytes_written();
  const uint32_t start = clock->TickCount();
  uint32_t last_estimate = 0;
  for (;;) {
    if (IsEventSignaled(stop_event)) {
      CopyOutcome(*downloader, result);
      return false;
    }
    if (downloader->ReadChunk() == 0) {
      bool ok = downloader->FinalizeDownload(nullptr);
      if (ok && observer) {
        observer->OnProgress(1.0f);
        observer->OnRemainingTime(0, kRemainingTimeDone);
      }
      CopyOutcome(*downloader, result);
      return ok;
    }
    const uint64_t total = downloader->total_size();
    if (total == 0) continue;
    const uint64_t written = sink->bytes_written();
    if (observer) {
      observer->OnProgress(static_cast<float>(
          static_cast<double>(written) / static_cast<double>(total)));
    }
    if (written <= written_at_start || written > total) continue;
    const uint32_t elapsed = clock->TickCount() - start;
    if (elapsed - last_estimate < kRemainingTimeIntervalMs) continue;
    last_estimate = elapsed;
    // Whole seconds at this attempt's average rate; in floating point, as
    // milliseconds times bytes can pass 2^64 for files beyond 4 GiB.
    const double estimate = static_cast<double>(elapsed) *
                            static_cast<double>(total - written) /
                            static_cast<double>(written - written_at_start) /
                            1000.0;
    const uint64_t remaining =
        estimate >= static_cast<double>(INT_MAX)
            ? static_cast<uint64_t>(INT_MAX)
            : static_cast<uint64_t>(estimate);
    if (observer) {
      if (remaining + elapsed / 1000 > kSlowDownloadSeconds)
        observer->OnSlow();
      observer->OnRemainingTime(static_cast<int>(remaining),
                                kRemainingTimeEstimated);
    }
  }
}

bool Download(HttpDownloader* downloader, const std::wstring& url,
              DownloadSink* sink, HANDLE stop_event,
              DownloadAttemptResult* result) {
  LOG(INFO) << "Attempt to download module: " << url;
  sink->Reset();
  return DownloadFile(downloader, url, sink, stop_event, nullptr,
                      SystemDownloadClock(), result);
}

}  // namespace lite_installer
