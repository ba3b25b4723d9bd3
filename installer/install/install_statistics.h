// The install-event statistics as the install flow sees them: one call at
// each place where an event is due. This build sends nothing yet; every
// call is the neutral answer.
#ifndef INSTALLER_INSTALL_INSTALL_STATISTICS_H_
#define INSTALLER_INSTALL_INSTALL_STATISTICS_H_

#include <cstdint>
#include <string>

#include "installer/install/download_event_reporter.h"

namespace lite_installer {

class InstallStatistics : public DownloadEventReporter {
 public:
  ~InstallStatistics() override = default;

  virtual void InstallerStarted() {}
  virtual void DownloadFinished(int64_t download_time_us) {}
  virtual void SetModuleVersion(const std::string& version) {}
  virtual void SetInstallKind(const std::string& kind) {}
  virtual void SetupArchiveLockError() {}
  virtual void VerificationError() {}
  virtual void SetupLaunched() {}
  virtual void SetupExited(bool success) {}
  // The parameter text kept in the registry value install_stat for the
  // browser's first run.
  virtual std::string ParameterString() const { return std::string(); }
  // The installation report: |status| is "success", "failed" or
  // "cancelled"; durations in microseconds.
  virtual void ReportInstallationFinished(const std::wstring& report_id,
                                          const char* status,
                                          int64_t total_time_us,
                                          int64_t download_time_us,
                                          int64_t setup_time_us) {}

  // DownloadEventReporter:
  void OnDownloadStarted() override {}
  void OnDownloadAttempt(const DownloadAttemptRecord& attempt) override {}
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALL_STATISTICS_H_
