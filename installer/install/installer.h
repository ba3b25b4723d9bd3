// The install flow object: stores the data files the setup needs, downloads
// the setup archive, waits until the installation is allowed, locks and
// verifies the archive, runs the setup (or lets the elevated copy run it)
// and reports the outcome. Runs on its own thread for the window, on the
// caller's thread for a silent installation.
#ifndef INSTALLER_INSTALL_INSTALLER_H_
#define INSTALLER_INSTALL_INSTALLER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "installer/install/setup/installer_data_files.h"
#include "installer/install/setup/setup_command_line.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

class ArchiveLockFile;
class AsyncInstallTasks;
class BrandInfo;
class DistribInfoParams;
class ElevatedInstallerProcess;
class InstallStatistics;
class InstallerDelegate;

// Exit codes of an installation that did not reach the setup's own code.
constexpr int kSetupNeverRan = 400;
constexpr int kArchiveNotObtained = 401;
constexpr int kArchiveNotVerified = 402;

// Result codes of an installation (InstallBrowser, OnError).
enum InstallResult {
  kInstallSucceeded = 0,
  kInstallFailed = 1,
  kInstallDownloadFailed = 2,
  kInstallCryptoProFailure = 3,
  kInstallMachineTypeMismatch = 4,
  kInstallSetupExitCode7 = 5,
  kInstallSetupExitCode8 = 6,
  kInstallElevatedCopyRefused = 7,
};

class Installer {
 public:
  Installer(InstallerDelegate* delegate, const BrandInfo* brand,
            const DistribInfoParams* distrib, bool with_async_tasks);
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;
  // Stops the install thread (waiting up to a minute, then terminating it),
  // then the side downloads.
  virtual ~Installer();

  // Starts Install on the install thread.
  bool StartInstallAsync();
  // Asks the install thread to stop and waits up to a minute for it.
  bool WaitForInstallAsync();
  void RecordOkButtonTime();
  // Lets the install thread go on from the download to the setup.
  void AllowInstallation();
  // Runs the whole installation on the calling thread (silent mode).
  void InstallSynchronously();
  // The user cancelled (counted; the report says "cancelled").
  void Cancel();
  // Whether the setup can make the browser the default one: always before
  // Windows 8, never on 8 and 8.1, and by the interface check from
  // Windows 10 on (its value goes to the setup as the-interface-availability).
  bool CheckInterfaceAvailability();

  void SetMakeDefault(bool make_default);
  void set_send_statistics(bool send) { send_statistics_ = send; }
  void set_install_kvpin(bool install) { install_kvpin_ = install; }
  void set_uac_declined(bool declined) { uac_declined_ = declined; }
  bool uac_declined() const { return uac_declined_; }
  // Whether this process should start an elevated copy of itself (asked by
  // the main window only, so never in a silent installation).
  bool NeedStartThisProcessAsAdmin();
  // Starts the elevated copy through the elevation prompt; false when it
  // did not start (a refused prompt also sets uac_declined).
  bool RelaunchAsAdmin();
  // The elevated copy's run of the setup: locks the archive against
  // writers, verifies it and runs it with |setup|; the lock is held until
  // the setup ends. False when the archive cannot be locked or verified,
  // and when the setup fails.
  bool RunVerifiedModule(const std::wstring& archive_path,
                         const CommandLine& setup);
  // The elevated copy started by RelaunchAsAdmin; null without one.
  const ElevatedInstallerProcess* elevated_process() const {
    return elevated_process_.get();
  }
  // Takes the elevated copy started for this installation.
  void SetElevatedProcess(std::unique_ptr<ElevatedInstallerProcess> process);

  // The window's statistics events.
  void SendInstallButtonClicked();
  void SendButtonClicked(const std::wstring& button);
  void SendLinkClicked(const std::wstring& url);
  void SendCheckboxChosen(const std::wstring& checkbox);

  int setup_exit_code() const { return setup_exit_code_; }
  const std::wstring& report_id() const { return report_id_; }
  int64_t download_time() const { return download_time_; }
  int64_t total_time() const { return total_time_; }
  int64_t setup_time() const { return setup_time_; }
  const InstallerDataPaths& data_paths() const { return data_paths_; }
  // The per-user id, for the statistics.
  const std::string& user_id() const { return user_id_; }
  // Null unless built with side downloads.
  const AsyncInstallTasks* async_tasks() const { return async_tasks_.get(); }

 protected:
  // The steps that tests replace.
  virtual bool RunModuleInElevatedProcess();
  // The program RelaunchAsAdmin starts elevated: this very image, whose
  // shared section the copy must share.
  virtual std::wstring RelaunchProgram() const;
  virtual bool RunModule(const std::wstring& archive_path);
  virtual uint32_t GetRetryDelayMs() const;
  virtual std::wstring GetModulePath();
  virtual int GetModule(const std::wstring& path, bool lock_mode);
  virtual int DownloadModule(HANDLE file);
  virtual bool VerifyModule(const std::wstring& path);
  // Fetches |url| into |body| (no progress, no stop); |error| receives the
  // downloader's error text on failure.
  virtual bool Download(const std::wstring& url, std::string* body,
                        std::wstring* error);

  // The report that ends every installation (see installation_report.h).
  void ReportInstallationFinished(bool success);

  // The thread body, or the silent run's body.
  void Install();
  int InstallBrowser();

  HANDLE stop_event() const { return stop_event_.Get(); }
  InstallStatistics* statistics() const { return statistics_.get(); }
  // Replaces the statistics (tests record the events instead of sending).
  void SetStatisticsForTesting(std::unique_ptr<InstallStatistics> statistics);
  // For DownloadModule overrides: the archive continued an earlier
  // attempt's bytes.
  void set_archive_resumed(bool resumed) { archive_resumed_ = resumed; }

 private:
  static DWORD WINAPI InstallThreadProc(void* installer);
  int DownloadOrExtractModule(const std::wstring& path, bool lock_mode);
  bool LockArchive(const std::wstring& path, bool lock_mode,
                   lite_util::ScopedFileHandle* lock);
  void SetStatisticsParameters();
  int RunSetup(const std::wstring& archive_path, bool* started);
  int ResultOfFailedSetup() const;
  // What the setup command line is built from, as things stand.
  SetupLaunchState LaunchState() const;
  void StoreInstallValuesInRegistry() const;
  void CleanUpAfterSuccess() const;
  void WaitForBrowserWindow();
  bool IsStopped() const;

  std::unique_ptr<InstallStatistics> statistics_;
  InstallerDelegate* delegate_;
  const BrandInfo* brand_;
  const DistribInfoParams* distrib_;
  bool make_default_ = false;
  bool send_statistics_ = false;
  bool install_kvpin_ = true;
  std::wstring temp_dir_;
  InstallerDataPaths data_paths_;
  std::wstring report_id_;
  int setup_exit_code_ = kSetupNeverRan;
  lite_util::ScopedThreadHandle install_thread_;
  lite_util::ScopedEventHandle stop_event_;
  lite_util::ScopedEventHandle install_after_download_event_;
  volatile LONG cancel_count_ = 0;
  int64_t total_time_ = 0;
  int64_t download_time_ = 0;
  int64_t setup_time_ = 0;
  int64_t ok_button_time_ = 0;
  int64_t install_start_ticks_ = 0;
  int64_t install_start_time_ = 0;
  int64_t interface_availability_ = 0;
  std::string user_id_;
  bool launch_browser_ = true;
  std::unique_ptr<ElevatedInstallerProcess> elevated_process_;
  bool uac_declined_ = false;
  std::wstring archive_path_;
  // The archive from its creation (GetModulePath) until the download takes
  // it over; the share mode it is created with.
  lite_util::ScopedFileHandle archive_file_;
  DWORD archive_share_ = 0;
  // Whether the last download continued an earlier attempt's bytes.
  bool archive_resumed_ = false;
  std::unique_ptr<ArchiveLockFile> archive_lock_;
  // Reset at the end of the destructor, once the install thread that reads
  // its paths has stopped.
  std::unique_ptr<AsyncInstallTasks> async_tasks_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALLER_H_
