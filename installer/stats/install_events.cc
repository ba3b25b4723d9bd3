#include "installer/stats/install_events.h"

#include <windows.h>
#include <wininet.h>

#include <cmath>

#include "installer/install/install_clock.h"
#include "installer/lite_util/string_util.h"
#include "installer/stats/stat_escape.h"

namespace lite_installer {
namespace {

constexpr DWORD kUrlBufferSize = 2084;

StatEvent ActionEvent(const wchar_t* action, const wchar_t* stage) {
  StatEvent event;
  event["action"] = action;
  if (stage) event["stage"] = stage;
  return event;
}

const wchar_t* SetupAction(const std::string& old_version) {
  return old_version.empty() ? L"setup" : L"update";
}

bool IsSuccessfulSetupExitCode(const SetupRunOutcome& outcome) {
  if (outcome.elevated_copy) return outcome.exit_code == 400;
  return outcome.exit_code == 1 || outcome.exit_code == 3 ||
         outcome.exit_code == 5;
}

}  // namespace

StatEvent InstallerStartedEvent(double scale, int screen_width,
                                int screen_height) {
  StatEvent event = ActionEvent(L"installer_started", nullptr);
  event["dpi"] = std::to_wstring(std::lround(scale * 100));
  event["resolution"] =
      std::to_wstring(screen_width) + L"x" + std::to_wstring(screen_height);
  return event;
}

StatEvent DownloadStartedEvent() { return ActionEvent(L"download", L"started"); }

StatEvent DownloadErrorEvent(const DownloadAttemptRecord& attempt) {
  StatEvent event = ActionEvent(L"download", L"error");
  event["error"] = L"attempt-" + std::to_wstring(attempt.attempt_number) +
                   L"-" + attempt.error;
  return event;
}

StatEvent DownloadAttemptEvent(const DownloadAttemptRecord& attempt) {
  StatEvent event = ActionEvent(L"download_attempt", nullptr);
  event["status"] = attempt.success ? L"success" : L"failed";
  if (!attempt.success) event["error"] = attempt.error;
  event["attempt_number"] = std::to_wstring(attempt.attempt_number);
  // Sizes are whole: an archive above 4 GiB does not wrap.
  event["downloaded_size"] = std::to_wstring(attempt.downloaded_size);
  event["total_size"] = std::to_wstring(attempt.total_size);
  // Escaped once here; the statistics request escapes the "%" signs again,
  // so the address travels escaped twice.
  std::wstring url =
      lite_util::Utf8ToWide(PercentEscapeBytes(lite_util::WideToUtf8(attempt.url)));
  if (!url.empty()) event["url"] = url;
  std::wstring redirect = RedirectHost(attempt.redirect_url);
  if (!redirect.empty()) event["redirect"] = redirect;
  if (attempt.architecture == 1) event["x64"] = L"1";
  return event;
}

StatEvent DownloadFinishedEvent(int64_t download_time_us) {
  StatEvent event = ActionEvent(L"download", L"finished");
  event["download_time"] = SecondsText(download_time_us);
  return event;
}

StatEvent SetupArchiveLockErrorEvent() {
  return ActionEvent(L"setup_arc_lock", L"error");
}

StatEvent VerificationErrorEvent() {
  return ActionEvent(L"verification", L"error");
}

StatEvent SetupLaunchedEvent(const std::string& old_version,
                             bool uac_notifications_enabled,
                             bool elevated_copy) {
  StatEvent event =
      ActionEvent(SetupAction(old_version), L"setup_exe_launched");
  if (!uac_notifications_enabled) {
    event["uac"] = L"100";
  } else {
    event["uac"] = elevated_copy ? L"1" : L"0";
  }
  return event;
}

StatEvent SetupExitedEvent(const std::string& old_version,
                           const SetupRunOutcome& outcome,
                           int64_t setup_time_us) {
  StatEvent event = ActionEvent(SetupAction(old_version), L"setup_exe_exited");
  if (!outcome.started) {
    event["error"] = L"FailedToStart";
  } else if (!IsSuccessfulSetupExitCode(outcome)) {
    event["error"] = std::to_wstring(outcome.exit_code);
  }
  event["setup_time"] = SecondsText(setup_time_us);
  return event;
}

StatEvent InstallButtonClickedEvent() {
  return ActionEvent(L"install_browser_button_clicked", nullptr);
}

StatEvent DialogEvent(const char* field, const std::wstring& text) {
  StatEvent event;
  event[field] = text;
  event["dialog_window"] = L"liteinstall";
  return event;
}

std::wstring RedirectHost(const std::wstring& redirect_url) {
  if (redirect_url.empty()) return std::wstring();
  wchar_t canonical[kUrlBufferSize] = {};
  DWORD size = kUrlBufferSize;
  if (!::InternetCanonicalizeUrlW(redirect_url.c_str(), canonical, &size,
                                  ICU_BROWSER_MODE) ||
      canonical[0] == L'\0') {
    return std::wstring();
  }
  wchar_t host[kUrlBufferSize] = {};
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = kUrlBufferSize;
  if (!::InternetCrackUrlW(canonical, 0, ICU_DECODE, &parts))
    return std::wstring();
  return std::wstring(host, parts.dwHostNameLength);
}

}  // namespace lite_installer
