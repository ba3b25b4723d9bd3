#include "installer/install/download/download_module.h"

#include <cstdlib>

#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_event_reporter.h"
#include "installer/install/download/download_file.h"
#include "installer/install/download/download_sink.h"
#include "installer/install/download/setup_urls.h"
#include "installer/install/download/versioned_setup_url.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"
#include "installer/lite_util/windows_release.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

// The loop logs under the name of the operation the install flow calls.
constexpr char kLogName[] = "DownloadModule";

std::string ToLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void ReportAttempt(DownloadEventReporter* events, bool success,
                   const std::wstring& url, int attempt_number,
                   uint64_t downloaded_size,
                   const DownloadAttemptResult& result, int architecture) {
  if (!events) return;
  DownloadAttemptRecord record;
  record.success = success;
  record.url = url;
  record.attempt_number = attempt_number;
  record.downloaded_size = downloaded_size;
  record.total_size = result.total_size;
  if (!success) record.error = result.error;
  record.redirect_url = result.redirect_url;
  record.architecture = architecture;
  events->OnDownloadAttempt(record);
}

// The pause between attempts; test builds can shorten it.
uint32_t RetryDelay(uint32_t configured) {
  std::string text;
  if (!lite_util::TestSeamValue("DOWNLOAD_RETRY_DELAY_MS", &text))
    return configured;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 10);
  return end && *end == '\0' && !text.empty() ? static_cast<uint32_t>(value)
                                              : configured;
}

}  // namespace

int GetDownloadAttemptCount(size_t url_count) {
  if (url_count == 0) return 0;
  if (url_count == 1) return kAttemptsForOneUrl;
  return static_cast<int>(url_count) * kAttemptsPerUrl;
}

bool ShouldRestartFailedDownload(uint64_t bytes_written, uint64_t total_size) {
  // A tenth of the total, rounded down, in 64 bits: the product
  // total_size * 10 would not fit 32 bits for archives above 409 MiB.
  return bytes_written < total_size / 10;
}

bool IsCryptoProException(const DownloadException& exception) {
  return exception.code == kDelayLoadModuleNotFound &&
         ToLower(exception.dll_name) == "cplib.dll" &&
         ToLower(exception.proc_name).find("cryptopro") != std::string::npos;
}

int DownloadModuleFromUrls(const DownloadModuleContext& context,
                           const std::vector<std::string>& urls,
                           int architecture, DownloadSink* sink) {
  if (urls.empty()) {
    LOG_AS(ERROR, kLogName) << "Setup url is empty.";
    return kDownloadModuleFailed;
  }
  LOG_AS(INFO, kLogName) << "Selected download urls:";
  for (const std::string& url : urls) LOG_AS(INFO, kLogName) << url;
  if (context.events) context.events->OnDownloadStarted();

  const int attempts = GetDownloadAttemptCount(urls.size());
  const int per_url = attempts / static_cast<int>(urls.size());
  std::wstring last_url;
  for (int i = 0; i < attempts; ++i) {
    if (IsEventSignaled(context.stop_event)) {
      LOG_AS(INFO, kLogName) << "The download was stopped";
      break;
    }
    const std::wstring url = lite_util::WidenBytes(urls[i / per_url]);
    if (url != last_url) {
      // What another URL delivered cannot be continued from this one.
      last_url = url;
      if (!sink->Reset())
        PLOG_AS(ERROR, kLogName) << "Cannot empty the archive file";
    }
    DownloadAttemptResult result;
    if (DownloadFile(context.downloader, url, sink, context.stop_event,
                     context.observer, context.clock, &result)) {
      ReportAttempt(context.events, true, url, i + 1, sink->bytes_written(),
                    result, architecture);
      if (context.resumed) *context.resumed = sink->resumed();
      return kDownloadModuleSucceeded;
    }
    if (result.exception.code != 0) {
      std::string names;
      if (!result.exception.dll_name.empty())
        names += "dll_name=" + result.exception.dll_name;
      if (!result.exception.proc_name.empty())
        names += "proc_name=" + result.exception.proc_name;
      PLOG_AS(ERROR, kLogName)
          << "Exception with code=" << result.exception.code << names;
      return IsCryptoProException(result.exception)
                 ? kDownloadModuleCryptoProFailure
                 : kDownloadModuleFailed;
    }
    const uint64_t written = sink->bytes_written();
    if (ShouldRestartFailedDownload(written, result.total_size) &&
        written > 0 && !sink->Reset()) {
      PLOG_AS(ERROR, kLogName) << "Cannot empty the archive file";
    }
    ReportAttempt(context.events, false, url, i + 1, written, result,
                  architecture);
    if (i + 1 < attempts &&
        context.clock->WaitForStop(context.stop_event,
                                   context.retry_delay_ms)) {
      LOG_AS(INFO, kLogName) << "The download was stopped";
      break;
    }
  }
  LOG_AS(ERROR, kLogName) << "Max download attempts failed (" << attempts
                          << ")";
  return kDownloadModuleFailed;
}

int DownloadModule(const DownloadModuleContext& context, HANDLE file,
                   const CommandLine& command_line, const BrandInfo& brand) {
  FileDownloadSink sink(file);
  const int architecture =
      GetDownloadArchitecture(command_line, IsX64System());
  const std::vector<std::string> urls =
      GetSetupUrls(brand, architecture, lite_util::GetWindowsRelease(),
                   &IsVersionedSetupUrlAllowed);
  DownloadModuleContext adjusted = context;
  adjusted.retry_delay_ms = RetryDelay(context.retry_delay_ms);
  return DownloadModuleFromUrls(adjusted, urls, architecture, &sink);
}

}  // namespace lite_installer
