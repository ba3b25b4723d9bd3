// The install-event statistics that send: each event is built and handed to
// the installation's InstallStatSender.
#ifndef INSTALLER_STATS_INSTALL_EVENT_STATISTICS_H_
#define INSTALLER_STATS_INSTALL_EVENT_STATISTICS_H_

#include <windows.h>

#include <memory>

#include "installer/install/install_statistics.h"

namespace lite_installer {

class InstallStatSender;

class InstallEventStatistics : public InstallStatistics {
 public:
  // |cancel_count| is the installation's count of confirmed cancels: once
  // it is above 0, download attempts send nothing.
  InstallEventStatistics(std::unique_ptr<InstallStatSender> sender,
                         const volatile LONG* cancel_count);
  ~InstallEventStatistics() override;

  void SetParameter(const std::string& name, const std::string& value) override;
  void PersistParameters() override;
  void InstallerStarted() override;
  void DownloadFinished(int64_t download_time_us) override;
  void SetupArchiveLockError() override;
  void VerificationError() override;
  void SetupLaunched(bool elevated_copy) override;
  void SetupExited(const SetupRunOutcome& outcome,
                   int64_t setup_time_us) override;
  void InstallButtonClicked() override;
  void ButtonClicked(const std::wstring& button) override;
  void LinkClicked(const std::wstring& url) override;
  void CheckboxChosen(const std::wstring& checkbox) override;
  void OnDownloadStarted() override;
  void OnDownloadAttempt(const DownloadAttemptRecord& attempt) override;

 private:
  bool IsCancelled() const;

  std::unique_ptr<InstallStatSender> sender_;
  const volatile LONG* cancel_count_;
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_INSTALL_EVENT_STATISTICS_H_
