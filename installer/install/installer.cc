#include "installer/install/installer.h"

#include <objbase.h>

#include <memory>
#include <string>
#include <utility>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/install/async_install_tasks.h"
#include "installer/install/download/deadline_call.h"
#include "installer/install/download/delegate_progress_observer.h"
#include "installer/install/download/download_clock.h"
#include "installer/install/download/download_module.h"
#include "installer/install/download/http_downloader.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/elevation/uac_mode.h"
#include "installer/install/install_clock.h"
#include "installer/install/install_statistics.h"
#include "installer/install/installation_report.h"
#include "installer/install/installer_delegate.h"
#include "installer/install/setup/archive_lock_file.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/install/setup/setup_command_line.h"
#include "installer/install/setup/setup_process.h"
#include "installer/install/temp_file.h"
#include "installer/install/trust/module_verifier.h"
#include "installer/kelvra/util/interface_availability.h"
#include "installer/lite_util/file_version.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/user_id.h"
#include "installer/lite_util/windows_release.h"
#include "installer/main/command_line.h"
#include "installer/stats/install_event_statistics.h"
#include "installer/stats/install_stat_sender.h"
#include "installer/stats/stat_query_builder.h"

namespace lite_installer {
namespace {

constexpr DWORD kInstallThreadWaitMs = 60000;
constexpr DWORD kBrowserWindowPollMs = 20000;
constexpr DWORD kInstallationReportTimeoutMs = 5000;
constexpr wchar_t kBrowserMessageWindowClass[] = L"KelvraBrowser_MessageWindow";

constexpr wchar_t kInstallerDataValue[] = L"InstallerData";
constexpr wchar_t kClidsFileValue[] = L"ClidsFile";
constexpr wchar_t kWebsiteIconValue[] = L"KelvraWebsiteIconFile";
constexpr wchar_t kAbtConfigValue[] = L"AbtConfigResourceFile";
constexpr wchar_t kDistribInfoParamsValue[] = L"DistribInfoParams";

std::wstring NewReportId() {
  GUID guid = {};
  wchar_t text[64] = {};
  if (FAILED(::CoCreateGuid(&guid)) ||
      ::StringFromGUID2(guid, text, 64) == 0) {
    return std::wstring();
  }
  std::wstring id = text;
  // "{...}" without its braces.
  return id.size() > 2 ? id.substr(1, id.size() - 2) : std::wstring();
}

}  // namespace

Installer::Installer(InstallerDelegate* delegate, const BrandInfo* brand,
                     const DistribInfoParams* distrib, bool with_async_tasks)
    : statistics_(new InstallEventStatistics(
          std::unique_ptr<InstallStatSender>(
              new InstallStatSender(kLiteInstallerType)),
          &cancel_count_)),
      delegate_(delegate),
      brand_(brand),
      distrib_(distrib),
      data_paths_(
          InstallerDataPathsFromCommandLine(CommandLine::ForCurrentProcess())) {
  if (brand_) temp_dir_ = brand_->temp_dir();
  user_id_ = lite_util::GetUserIdInternal();
  SetStatisticsParameters();
  stop_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  install_after_download_event_.Set(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (with_async_tasks)
    async_tasks_.reset(new AsyncInstallTasks(brand_, distrib_));
}

Installer::~Installer() {
  if (install_thread_.IsValid()) {
    ::SetEvent(stop_event_.Get());
    if (::WaitForSingleObject(install_thread_.Get(), kInstallThreadWaitMs) !=
        WAIT_OBJECT_0) {
      PLOG_AS(ERROR, "~Installer")
          << "Failed to wait for install async exit. Terminate "
             "install_thread_";
      ::TerminateThread(install_thread_.Get(), 0);
    }
  }
  elevated_process_.reset();
  // The install thread reads the side-download paths: they go only after it.
  async_tasks_.reset();
}

void Installer::SetStatisticsParameters() {
  statistics_->SetParameter("brand_id", brand_ ? brand_->brand_id() : "unknown");
  statistics_->SetParameter("partner_id",
                            brand_ ? brand_->partner_id() : "unknown");
  if (!distrib_) return;
  const struct {
    const char* distribution_name;
    const char* statistics_name;
  } kDistributionParameters[] = {
      {"banerid", "banner_id"},
      {"distr_kelvrauid", "distr_kelvra_uid"},
      {"kelvrauid", "kelvra_uid"},
  };
  for (const auto& parameter : kDistributionParameters) {
    std::string value;
    if (distrib_->Find(parameter.distribution_name, &value))
      statistics_->SetParameter(parameter.statistics_name, value);
  }
}

void Installer::SetStatisticsForTesting(
    std::unique_ptr<InstallStatistics> statistics) {
  statistics_ = std::move(statistics);
}

void Installer::SendInstallButtonClicked() {
  statistics_->InstallButtonClicked();
}

void Installer::SendButtonClicked(const std::wstring& button) {
  statistics_->ButtonClicked(button);
}

void Installer::SendLinkClicked(const std::wstring& url) {
  statistics_->LinkClicked(url);
}

void Installer::SendCheckboxChosen(const std::wstring& checkbox) {
  statistics_->CheckboxChosen(checkbox);
}

bool Installer::StartInstallAsync() {
  ::ResetEvent(stop_event_.Get());
  ::ResetEvent(install_after_download_event_.Get());
  install_thread_.Set(
      ::CreateThread(nullptr, 0, &InstallThreadProc, this, 0, nullptr));
  return install_thread_.IsValid();
}

DWORD WINAPI Installer::InstallThreadProc(void* installer) {
  static_cast<Installer*>(installer)->Install();
  return 0;
}

bool Installer::WaitForInstallAsync() {
  ::SetEvent(stop_event_.Get());
  if (!install_thread_.IsValid()) return true;
  return ::WaitForSingleObject(install_thread_.Get(), kInstallThreadWaitMs) ==
         WAIT_OBJECT_0;
}

void Installer::RecordOkButtonTime() {
  ok_button_time_ = TicksWithoutSuspensionMicros();
}

void Installer::AllowInstallation() {
  install_start_ticks_ = TicksWithoutSuspensionMicros();
  install_start_time_ = PerformanceCounterMicros();
  ::SetEvent(install_after_download_event_.Get());
}

void Installer::InstallSynchronously() {
  ::ResetEvent(stop_event_.Get());
  AllowInstallation();
  Install();
}

void Installer::Cancel() { ::InterlockedIncrement(&cancel_count_); }

bool Installer::CheckInterfaceAvailability() {
  lite_util::WindowsRelease release = lite_util::GetWindowsRelease();
  if (release < lite_util::kWindows8) return true;
  if (release < lite_util::kWindows10) return false;
  uint32_t value = 0;
  bool available = IsInterfaceAvailable(&value);
  interface_availability_ = value;
  return available;
}

void Installer::SetMakeDefault(bool make_default) {
  // Windows 8 and 8.1 do not let programs choose the default browser.
  lite_util::WindowsRelease release = lite_util::GetWindowsRelease();
  if (release == lite_util::kWindows8 || release == lite_util::kWindows8_1)
    return;
  make_default_ = make_default;
}

void Installer::SetElevatedProcess(
    std::unique_ptr<ElevatedInstallerProcess> process) {
  elevated_process_ = std::move(process);
}

bool Installer::IsStopped() const {
  return IsEventSignaled(stop_event_.Get());
}

void Installer::Install() {
  statistics_->InstallerStarted();
  report_id_ = NewReportId();
  if (brand_) brand_->StoreLanguageInRegistry();
  if (!temp_dir_.empty())
    ExtractInstallerDataIfAbsent(temp_dir_, &data_paths_);
  StoreInstallValuesInRegistry();

  int result = InstallBrowser();
  bool success = result == kInstallSucceeded;
  if (!success) {
    uint32_t failure_kind = GetFailureKind();
    if (result == kInstallFailed && failure_kind >= 2)
      result = static_cast<int>(failure_kind);
    if (delegate_ && (!IsStopped() || failure_kind != 0))
      delegate_->OnError(result);
  } else {
    CleanUpAfterSuccess();
  }
  if (delegate_) WaitForBrowserWindow();
  ReportInstallationFinished(success);
}

void Installer::ReportInstallationFinished(bool success) {
  MemoryBarrier();
  const char* result =
      cancel_count_ > 0 ? "cancelled" : (success ? "success" : "failed");
  std::wstring url =
      BuildInstallationReportUrl(StorageHost(), report_id_, result,
                                 total_time_, download_time_, setup_time_);
  std::string body;
  std::wstring error;
  if (!Download(url, &body, &error)) {
    PLOG_AS(ERROR, "ReportInstallationFinished")
        << "Cannot report installation status: " << error;
  }
}

bool Installer::Download(const std::wstring& url, std::string* body,
                         std::wstring* error) {
  // The report is the last thing an installation does: a storage host that
  // accepts and never answers, or trickles its answer, must not keep the
  // installer from ending. Only the status counts; the body is not read.
  struct Outcome {
    bool ok = false;
    std::wstring error;
  };
  auto outcome = std::make_shared<Outcome>();
  bool ended = RunWithDeadline(
      [url, outcome] {
        HttpDownloader downloader;
        downloader.set_timeout_ms(kInstallationReportTimeoutMs);
        outcome->ok = downloader.RequestWithoutBody(url);
        outcome->error = downloader.error();
      },
      kInstallationReportTimeoutMs);
  body->clear();
  if (!ended) {
    *error = L"deadline-" + std::to_wstring(kInstallationReportTimeoutMs);
    return false;
  }
  if (!outcome->ok) *error = outcome->error;
  return outcome->ok;
}

void Installer::StoreInstallValuesInRegistry() const {
  lite_util::StoreValueInBrowserKey(kInstallerDataValue,
                                    data_paths_.installer_data_path);
  lite_util::StoreValueInBrowserKey(kClidsFileValue,
                                    data_paths_.clids_file_path);
  lite_util::StoreValueInBrowserKey(kWebsiteIconValue,
                                    data_paths_.website_icon_path);
  lite_util::StoreValueInBrowserKey(kAbtConfigValue,
                                    data_paths_.abt_config_path);
  if (brand_) brand_->StoreBrandInRegistry();
}

void Installer::CleanUpAfterSuccess() const {
  for (const wchar_t* name : {kInstallerDataValue, kClidsFileValue,
                              kWebsiteIconValue, kDistribInfoParamsValue}) {
    lite_util::RemoveValueFromBrowserKey(name);
  }
  if (!brand_) return;
  brand_->RemoveBrandFromRegistry();
  if (!brand_->brand_package_path().empty())
    ::DeleteFileW(brand_->brand_package_path().c_str());
  if (!brand_->partner_package_path().empty())
    ::DeleteFileW(brand_->partner_package_path().c_str());
}

void Installer::WaitForBrowserWindow() {
  // The browser shows itself through a message-only window; the installer
  // window stays until it is there or the installer is closed.
  while (delegate_) {
    if (::WaitForSingleObject(stop_event_.Get(), kBrowserWindowPollMs) ==
        WAIT_OBJECT_0) {
      return;
    }
    if (!::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserMessageWindowClass,
                         nullptr)) {
      delegate_->OnFinished(true);
      return;
    }
  }
}

int Installer::InstallBrowser() {
  LOG(INFO) << "Install Browser.";
  std::string lock_text;
  bool lock_mode = distrib_ &&
                   distrib_->Find("setup_arc_permanent_lock", &lock_text) &&
                   !lock_text.empty();
  archive_share_ = lock_mode ? FILE_SHARE_READ : 0;
  archive_path_ = GetModulePath();
  if (archive_path_.empty()) return kInstallFailed;
  LOG(INFO) << "Executable path: " << archive_path_;
  // Whatever way this ends, the archive goes: first the lock that keeps
  // others out (it would keep the deletion out too), then the file.
  struct ArchiveRemover {
    Installer* installer;
    ~ArchiveRemover() {
      installer->archive_file_.Close();
      installer->archive_lock_.reset();
      ::DeleteFileW(installer->archive_path_.c_str());
    }
  } remove_archive{this};

  int64_t t0 = SystemTimeMicros();
  int64_t t1 = 0;
  int64_t t2 = 0;
  lite_util::ScopedFileHandle lock;
  for (int pass = 0;; ++pass) {
    int result = GetModule(archive_path_, lock_mode);
    if (result != kInstallSucceeded) return result;

    t1 = SystemTimeMicros();
    HANDLE events[2] = {stop_event_.Get(),
                        install_after_download_event_.Get()};
    if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) !=
        WAIT_OBJECT_0 + 1) {
      LOG(ERROR) << "Installation after download event isn't in signal "
                    "state or installation was stopped early.";
      return kInstallFailed;
    }
    t2 = SystemTimeMicros();

    if (!LockArchive(archive_path_, lock_mode, &lock)) return kInstallFailed;
    if (VerifyModule(archive_path_)) break;
    // An archive put together from two answers may hold the start of one
    // file and the end of another: one fresh download from the start.
    if (pass == 0 && archive_resumed_) {
      LOG(WARNING) << "The resumed archive failed verification; "
                      "downloading it again from the start";
      lock.Close();
      archive_lock_.reset();
      ::DeleteFileW(archive_path_.c_str());
      archive_path_ = GetModulePath();
      if (archive_path_.empty()) return kInstallFailed;
      continue;
    }
    LOG(ERROR) << "Module verification failed: " << archive_path_;
    setup_exit_code_ = kArchiveNotVerified;
    statistics_->VerificationError();
    return kInstallFailed;
  }
  LOG(INFO) << "Verification succeeded: " << archive_path_;
  int64_t t3 = SystemTimeMicros();
  statistics_->PersistParameters();
  statistics_->SetupLaunched(elevated_process_ != nullptr);

  SetupRunOutcome outcome;
  outcome.elevated_copy = elevated_process_ != nullptr;
  int result = RunSetup(archive_path_, &outcome.started);
  outcome.exit_code = setup_exit_code_;
  lock.Close();
  archive_lock_.reset();
  setup_time_ = SystemTimeMicros() - t3;
  statistics_->SetupExited(outcome, setup_time_);
  if (result != kInstallSucceeded) return result;

  if (elevated_process_) {
    // The copy's 0 is this installation's success. The statistics above
    // saw 400, their mark of an elevated success; the caller of the
    // installer would read 400 as "the setup never ran", the code a failed
    // elevated run leaves too.
    setup_exit_code_ = 0;
  }
  elevated_process_.reset();
  bool launches =
      launch_browser_ &&
      !CommandLine::ForCurrentProcess().HasSwitch("do-not-launch-browser");
  if (!launches && delegate_) {
    delegate_->SetProgress(100);
    delegate_->OnFinished(true);
    delegate_ = nullptr;
  }
  total_time_ = (t1 - t0) + (SystemTimeMicros() - t2);
  return kInstallSucceeded;
}

bool Installer::LockArchive(const std::wstring& path, bool lock_mode,
                            lite_util::ScopedFileHandle* lock) {
  if (lock_mode) {
    if (!archive_lock_ || !archive_lock_->ReopenForExecution()) {
      statistics_->SetupArchiveLockError();
      LOG(ERROR) << "Cannot lock file: " << path;
      return false;
    }
    return true;
  }
  lock->Set(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_EXECUTE,
                          FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock->IsValid()) {
    LOG(ERROR) << "Cannot lock file: " << path;
    return false;
  }
  return true;
}

int Installer::RunSetup(const std::wstring& archive_path, bool* started) {
  bool ok = false;
  *started = false;
  if (elevated_process_) {
    DelayedParams params;
    params.browser_arc_path = archive_path;
    params.clids_file_path = data_paths_.clids_file_path;
    params.website_icon_file_path = data_paths_.website_icon_path;
    params.installer_data_path = data_paths_.installer_data_path;
    if (brand_ && brand_->brand_package_written())
      params.brand_package_path = brand_->brand_package_path();
    if (brand_ && brand_->partner_package_written())
      params.partner_package_path = brand_->partner_package_path();
    params.download_time = SecondsText(download_time_);
    params.full_time = std::to_wstring(install_start_ticks_);
    params.full_time_with_suspension = std::to_wstring(install_start_time_);
    params.send_statistics = send_statistics_;
    params.make_default = make_default_;
    params.install_kvpin = install_kvpin_;
    if (!WriteDelayedParams(params)) {
      LOG(ERROR) << "Unexpected error in CreateDelayedParamsMapping()";
      return kInstallFailed;
    }
    ok = RunModuleInElevatedProcess();
    *started = ok;
  } else {
    ok = RunModule(archive_path);
    launch_browser_ = ok;
    // A setup that ran and failed has left its own exit code.
    *started = ok || setup_exit_code_ != static_cast<int>(kSetupExitCodeNotRun);
  }
  if (ok) return kInstallSucceeded;
  return ResultOfFailedSetup();
}

int Installer::ResultOfFailedSetup() const {
  if (!elevated_process_) return kInstallFailed;
  uint32_t failure_kind = GetFailureKind();
  if (failure_kind != 0) return static_cast<int>(failure_kind);
  if (elevated_process_->exit_code() == 600)
    return kInstallElevatedCopyRefused;
  return kInstallFailed;
}

bool Installer::RunModuleInElevatedProcess() {
  LOG(INFO) << "Started waiting the elevated installer has finished its work.";
  bool success = elevated_process_->RunModule(stop_event_.Get());
  LOG(INFO) << "The elevated installer has finished, success="
            << (success ? 1 : 0);
  return success;
}

SetupLaunchState Installer::LaunchState() const {
  SetupLaunchState state;
  state.uac_declined = uac_declined_;
  if (delegate_)
    state.progress_window =
        reinterpret_cast<uintptr_t>(delegate_->GetWindowHandle());
  if (brand_) {
    state.brand_name = brand_->brand_name();
    if (brand_->brand_package_written())
      state.brand_package_path = brand_->brand_package_path();
    if (brand_->partner_package_written())
      state.partner_package_path = brand_->partner_package_path();
  }
  if (distrib_) {
    state.distrib_info_file_path = distrib_->GetDistributionInfoFilePath();
    distrib_->Find("uts2", &state.use_task_scheduler2);
  }
  state.uac_mode =
      GetUacMode(brand_, distrib_, CommandLine::ForCurrentProcess());
  state.make_default = make_default_;
  state.send_statistics = send_statistics_;
  state.install_kvpin = install_kvpin_;
  state.ok_button_time = ok_button_time_;
  state.install_start_ticks = install_start_ticks_;
  state.install_start_time = install_start_time_;
  state.interface_availability = interface_availability_;
  state.abt_config_path = data_paths_.abt_config_path;
  state.installer_data_path = data_paths_.installer_data_path;
  state.clids_file_path = data_paths_.clids_file_path;
  state.website_icon_path = data_paths_.website_icon_path;
  if (async_tasks_) {
    state.has_async_tasks = true;
    state.launch_browser = launch_browser_;
    state.variations_path = async_tasks_->variations_path();
    state.abt_path = async_tasks_->abt_path();
    state.webntp_path = async_tasks_->webntp_path();
    state.server_config_bundle_path = async_tasks_->server_config_path();
    state.wallpaper_bundle_path = async_tasks_->wallpaper_path();
  }
  return state;
}

bool Installer::RunModule(const std::wstring& archive_path) {
  CommandLine setup = BuildSetupCommandLine(CommandLine::ForCurrentProcess(),
                                            archive_path, true, LaunchState());
  DWORD exit_code = kSetupExitCodeNotRun;
  bool ok = lite_installer::RunModule(archive_path, setup, &exit_code,
                                      delegate_);
  setup_exit_code_ = static_cast<int>(exit_code);
  return ok;
}

uint32_t Installer::GetRetryDelayMs() const { return kDownloadRetryDelayMs; }

std::wstring Installer::GetModulePath() {
  // Created here, once and exclusively, and kept open for the download: a
  // name planted in TEMP is never opened.
  std::wstring path;
  archive_file_ = CreateUniqueTempFile(temp_dir_, L"kb", GENERIC_WRITE,
                                       archive_share_, NextTempFileNumber(),
                                       &path);
  if (!archive_file_.IsValid()) {
    PLOG_AS(ERROR, "GetModulePath") << "Cannot obtain temp file.";
    return std::wstring();
  }
  return path;
}

int Installer::GetModule(const std::wstring& path, bool lock_mode) {
  int64_t start = SystemTimeMicros();
  int result = DownloadOrExtractModule(path, lock_mode);
  download_time_ = SystemTimeMicros() - start;
  if (result != kInstallSucceeded) {
    PLOG(ERROR) << "Module was not downloaded: " << path;
    setup_exit_code_ = kArchiveNotObtained;
    return result;
  }
  LOG(INFO) << "Module downloaded: " << path;
  statistics_->SetParameter("new_ver", lite_util::GetFileVersion(path));
  statistics_->SetParameter("install_type", "normal");
  statistics_->DownloadFinished(download_time_);
  return kInstallSucceeded;
}

int Installer::DownloadOrExtractModule(const std::wstring& path,
                                       bool lock_mode) {
  lite_util::ScopedFileHandle own_file(archive_file_.Take());
  HANDLE file = INVALID_HANDLE_VALUE;
  if (own_file.IsValid()) {
    if (lock_mode) {
      archive_lock_.reset(new ArchiveLockFile(path, std::move(own_file)));
      file = archive_lock_->handle();
    } else {
      file = own_file.Get();
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Cannot create file:" << path;
    return kInstallFailed;
  }
  LOG(INFO) << "Try to download module:" << path;
  archive_resumed_ = false;
  return DownloadModule(file);
}

int Installer::DownloadModule(HANDLE file) {
  if (!brand_) return kDownloadModuleFailed;
  HttpDownloader downloader;
  DelegateProgressObserver observer(delegate_);
  DownloadModuleContext context;
  context.downloader = &downloader;
  context.clock = SystemDownloadClock();
  context.stop_event = stop_event_.Get();
  context.observer = &observer;
  context.events = statistics_.get();
  context.retry_delay_ms = GetRetryDelayMs();
  context.resumed = &archive_resumed_;
  return lite_installer::DownloadModule(
      context, file, CommandLine::ForCurrentProcess(), *brand_);
}

bool Installer::VerifyModule(const std::wstring& path) {
  return lite_installer::VerifyModule(path, false);
}

}  // namespace lite_installer
