// The installer's process entry: hardening, logging, the non-install
// requests, single instance, configuration, then a silent installation or
// the main window. Every path ends with the process exit code.
#include <windows.h>

#include <memory>
#include <string>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/crash/crash_reporter.h"
#include "installer/crash/crash_seams.h"
#include "installer/install/installer.h"
#include "installer/kelvra/util/interface_probe.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/disk_space.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"
#include "installer/main/cpu_support.h"
#include "installer/main/elevation.h"
#include "installer/main/installer_mutex.h"
#include "installer/main/process_window.h"
#include "installer/main/secure_environment.h"
#include "installer/main/ui_environment.h"
#include "installer/ui/dialogs/notice_dialog.h"
#include "installer/ui/localized_strings.h"
#include "installer/ui/main_window.h"

namespace lite_installer {
namespace {

// The entry's steps log under the name of the process entry.
constexpr char kEntry[] = "wWinMain";

constexpr int kAnotherInstanceExitCode = 600;
constexpr int kCpuNotSupportedExitCode = 404;
constexpr int kNotEnoughDiskSpaceExitCode = 403;
constexpr int kUserCancelledExitCode = 500;

std::wstring GetTempDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

void ShowCpuNotSupportedMessage(int message_id, int language_id) {
  std::wstring text = LoadLocalizedString(453, language_id) + L"\n" +
                      LoadLocalizedString(message_id, language_id);
  std::wstring caption = LoadLocalizedString(452, language_id);
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void SetCrashAnnotations(CrashReporter* crash_reporter,
                         const DistribInfoParams& distrib,
                         const BrandInfo& brand) {
  for (const auto& param : distrib.params())
    crash_reporter->AddDistributionParameter(param.first, param.second);
  crash_reporter->SetAnnotation("brand_id", brand.brand_id());
  crash_reporter->SetAnnotation("brand_name", brand.brand_name());
  crash_reporter->SetAnnotation("default_language", brand.default_language());
}

// Steps after the single-instance mutex: configuration, the processor and
// disk checks, then the installation itself. Returns the exit code;
// |log_exit| is cleared on the path that has logged its own end.
int RunInstallation(const CommandLine& command_line,
                    CrashReporter* crash_reporter, bool* log_exit) {
  bool silent = command_line.HasSwitch("silent");
  bool system_level = command_line.HasSwitch("system-level");
  std::string brand_name = command_line.GetSwitchValueASCII("brand-name");

  std::wstring temp_dir = GetTempDirectory();
  LOG_AS(INFO, kEntry) << "Temporary path is: " << temp_dir;

  DistribInfoParams distrib;
  distrib.Load();
  BrandInfo brand(temp_dir);
  brand.GetInfo(brand_name);
  std::string language;
  if (distrib.Find("lang", &language)) brand.set_default_language(language);
  brand.ApplyBrandDefaults();
  SetCrashAnnotations(crash_reporter, distrib, brand);
  ProvokeTestCrashIfAsked();

  int message_id = 0;
  if (!IsCpuSupported(&message_id)) {
    PLOG_AS(ERROR, kEntry) << "CPU is not supported";
    if (!silent) ShowCpuNotSupportedMessage(message_id, brand.language_id());
    *log_exit = false;
    return kCpuNotSupportedExitCode;
  }

  bool enough_space = lite_util::HasEnoughDiskSpace(
      system_level, lite_util::kRequiredInstallSpace);
  if (silent) {
    LOG_AS(INFO, kEntry) << "Installing in silent mode.";
    Installer installer(nullptr, &brand, &distrib, true);
    installer.SetMakeDefault(
        command_line.HasSwitch("make-browser-default-after-import"));
    installer.set_send_statistics(command_line.HasSwitch("send-statistics") ||
                                  brand.SendStatisticsByDefault());
    installer.set_install_kvpin(!command_line.HasSwitch("disablekvpin"));
    // No window asks on this path, yet the setup needs the interface
    // availability as much as after an interactive run.
    installer.CheckInterfaceAvailability();
    installer.InstallSynchronously();
    return installer.setup_exit_code();
  }
  if (!enough_space) {
    NoticeDialog notice(brand.language_id(), 446, 447, 437, 0);
    notice.RunModal();
    return kNotEnoughDiskSpaceExitCode;
  }
  MainWindow window(&brand, &distrib, true);
  int result = window.RunModal();
  if (result == 1 && window.installer()) {
    // The window may end while the setup still runs (a newer browser is
    // installed): its exit code is known once the install thread is done.
    if (!window.installer()->WaitForInstallAsync())
      PLOG_AS(ERROR, kEntry) << "The installation did not end in time";
    return window.installer()->setup_exit_code();
  }
  LOG_AS(INFO, kEntry) << "User cancelled installation.";
  return kUserCancelledExitCode;
}

int RunInstaller() {
  int secure_exit_code = 0;
  SecureEnvironmentStatus secure_status =
      CheckSecureEnvironment(&secure_exit_code);

  std::unique_ptr<CrashReporter> crash_reporter(new CrashReporter());
  crash_reporter->SetAnnotation("ptype", "installer");
  lite_util::SetLogSink(new lite_util::LogFileSink(
      lite_util::GetLogFilePath(), lite_util::kMaxLogFileSize));
  LOG_AS(INFO, kEntry) << "-------------------------------------- Start install.";

  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  if (command_line.HasSwitch("check-the-interface")) {
    int code = InterfaceProbeExitCode();
    LOG_AS(INFO, kEntry) << "Handled non install cmd line option by win10 default "
                 "browser helper, ret code: "
              << code;
    return code;
  }

  switch (secure_status) {
    case kInsecure:
      LOG_AS(INFO, kEntry) << "Exiting, because of insecure environment.";
      return secure_exit_code;
    case kNotFound:
      LOG_AS(INFO, kEntry) << "Can't find secure environment.";
      break;
    case kSecure:
      LOG_AS(INFO, kEntry) << "Runned in secure environment.";
      break;
    case kDllFound:
      LOG_AS(INFO, kEntry) << "Exiting, DLL files found in working directory";
      return kDllFoundExitCode;
    case kChildFinished:
      return secure_exit_code;
  }

  if (command_line.HasSwitch("run-as-admin")) return ExecuteAsAdmin();

  UiEnvironment ui_environment;
  LOG_AS(INFO, kEntry) << "Lite installer mode.";

  InstallerMutex mutex;
  mutex.Create();
  if (!mutex.TryAcquire()) {
    LOG_AS(INFO, kEntry) << "Another installer instance is already running.";
    uint32_t master_pid = GetMasterInstallerPid();
    LOG_AS(INFO, kEntry) << "Master installer process id: " << master_pid;
    BringProcessWindowToTop(master_pid);
    return kAnotherInstanceExitCode;
  }
  SetMasterInstallerPid(::GetCurrentProcessId());
  LOG_AS(INFO, kEntry) << "Installer process id: " << ::GetCurrentProcessId();

  bool log_exit = true;
  int exit_code =
      RunInstallation(command_line, crash_reporter.get(), &log_exit);
  if (log_exit) LOG_AS(INFO, kEntry) << "Installer exit with code: " << exit_code;
  return exit_code;
}

}  // namespace
}  // namespace lite_installer

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  // Before anything can bind a delayed import.
  lite_util::InstallDelayLoadFailureHook();
  return lite_installer::RunInstaller();
}
