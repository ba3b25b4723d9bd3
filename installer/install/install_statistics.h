// The install-event statistics as the install flow and the window see them:
// one call at each place where an event is due. The base class sends
// nothing (tests and runs without statistics use it); the sending one is
// InstallEventStatistics.
#ifndef INSTALLER_INSTALL_INSTALL_STATISTICS_H_
#define INSTALLER_INSTALL_INSTALL_STATISTICS_H_

#include <cstdint>
#include <string>

#include "installer/install/download/download_event_reporter.h"

namespace lite_installer {

// How the setup run ended.
struct SetupRunOutcome {
  // Whether the setup (or the elevated copy that runs it) was started.
  bool started = false;
  int exit_code = 0;
  // An elevated copy of the installer ran the setup.
  bool elevated_copy = false;
};

class InstallStatistics : public DownloadEventReporter {
 public:
  ~InstallStatistics() override = default;

  // A parameter that every later event carries (brand_id, partner_id,
  // banner_id, kelvra_uid, distr_kelvra_uid, new_ver, install_type).
  virtual void SetParameter(const std::string& name, const std::string& value) {}
  // Keeps the parameters in the registry for the browser's setup.
  virtual void PersistParameters() {}

  virtual void InstallerStarted() {}
  virtual void DownloadFinished(int64_t download_time_us) {}
  virtual void SetupArchiveLockError() {}
  virtual void VerificationError() {}
  virtual void SetupLaunched(bool elevated_copy) {}
  virtual void SetupExited(const SetupRunOutcome& outcome,
                           int64_t setup_time_us) {}

  // The window's events.
  virtual void InstallButtonClicked() {}
  // "install", "cancel", "minimize" or "restore".
  virtual void ButtonClicked(const std::wstring& button) {}
  // The full address that was opened.
  virtual void LinkClicked(const std::wstring& url) {}
  // "default", "sendstat" or "kvpin_trial".
  virtual void CheckboxChosen(const std::wstring& checkbox) {}

  // DownloadEventReporter:
  void OnDownloadStarted() override {}
  void OnDownloadAttempt(const DownloadAttemptRecord& attempt) override {}
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALL_STATISTICS_H_
