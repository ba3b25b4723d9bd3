#include "installer/stats/install_event_statistics.h"

#include "installer/main/uac_notifications.h"
#include "installer/stats/install_events.h"
#include "installer/stats/install_stat_sender.h"

namespace lite_installer {
namespace {

// The window's device scale factor until the window draws at others.
constexpr double kDeviceScaleFactor = 1.0;

}  // namespace

InstallEventStatistics::InstallEventStatistics(
    std::unique_ptr<InstallStatSender> sender,
    const volatile LONG* cancel_count)
    : sender_(std::move(sender)), cancel_count_(cancel_count) {}

InstallEventStatistics::~InstallEventStatistics() = default;

bool InstallEventStatistics::IsCancelled() const {
  MemoryBarrier();
  return cancel_count_ && *cancel_count_ > 0;
}

void InstallEventStatistics::SetParameter(const std::string& name,
                                          const std::string& value) {
  sender_->SetParameter(name, value);
}

void InstallEventStatistics::PersistParameters() {
  sender_->PersistParameters();
}

void InstallEventStatistics::InstallerStarted() {
  sender_->Send(InstallerStartedEvent(kDeviceScaleFactor,
                                      ::GetSystemMetrics(SM_CXSCREEN),
                                      ::GetSystemMetrics(SM_CYSCREEN)));
}

void InstallEventStatistics::OnDownloadStarted() {
  sender_->Send(DownloadStartedEvent());
}

void InstallEventStatistics::OnDownloadAttempt(
    const DownloadAttemptRecord& attempt) {
  if (IsCancelled()) return;
  if (!attempt.success) sender_->Send(DownloadErrorEvent(attempt));
  sender_->Send(DownloadAttemptEvent(attempt));
}

void InstallEventStatistics::DownloadFinished(int64_t download_time_us) {
  sender_->Send(DownloadFinishedEvent(download_time_us));
}

void InstallEventStatistics::SetupArchiveLockError() {
  sender_->Send(SetupArchiveLockErrorEvent());
}

void InstallEventStatistics::VerificationError() {
  sender_->Send(VerificationErrorEvent());
}

void InstallEventStatistics::SetupLaunched(bool elevated_copy) {
  sender_->Send(SetupLaunchedEvent(sender_->GetOldVersion(),
                                   AreUACNotificationsEnabled(),
                                   elevated_copy));
}

void InstallEventStatistics::SetupExited(const SetupRunOutcome& outcome,
                                         int64_t setup_time_us) {
  sender_->Send(
      SetupExitedEvent(sender_->GetOldVersion(), outcome, setup_time_us));
}

void InstallEventStatistics::InstallButtonClicked() {
  sender_->Send(InstallButtonClickedEvent());
}

void InstallEventStatistics::ButtonClicked(const std::wstring& button) {
  sender_->SendDialogEvent(DialogEvent("clicked_button", button));
}

void InstallEventStatistics::LinkClicked(const std::wstring& url) {
  sender_->SendDialogEvent(DialogEvent("clicked_link", url));
}

void InstallEventStatistics::CheckboxChosen(const std::wstring& checkbox) {
  sender_->SendDialogEvent(DialogEvent("choosen_checkbox", checkbox));
}

}  // namespace lite_installer
