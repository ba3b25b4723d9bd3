// The elevated relaunch: whether this process needs an elevated copy,
// starting it through the elevation prompt, and the copy's run of the setup.
#include <windows.h>

#include <shellapi.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/install/elevation/admin_group.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/elevation/prompt_owner_window.h"
#include "installer/install/installer.h"
#include "installer/install/setup/setup_command_line.h"
#include "installer/install/setup/setup_process.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/program_path.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/test_seams.h"
#include "installer/lite_util/windows_release.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

// Switches of requests that are not installations (the setup serves them):
// no elevation for those. Tested in this order.
const char* const kNonInstallSwitches[] = {
    "update-setup-exe",       "show-eula",
    "configure-user-settings", "register-dev-chrome",
    "register-browser-browser", "rename-browser-exe",
    "on-os-upgrade",          "fake-rename-kelvra-internet",
    "patch",                  "reenable-autoupdates",
    "simulate-crash",         "delete-old-versions",
    "set-as-default-browser", "set-as-default-browser-dll",
    "pttw1",                  "pwattw1",
    "pttw0",
};

// The program the elevated copy's setup command line names until the
// delayed parameters name the archive.
constexpr wchar_t kFakeBrowserArchive[] = L"fake_browser_arc";

// cbSize below is sizeof: the structure the shell expects has 60 bytes in
// a 32-bit process and 112 in a 64-bit one.
#ifdef _WIN64
static_assert(sizeof(SHELLEXECUTEINFOW) == 112,
              "SHELLEXECUTEINFOW has 112 bytes in a 64-bit process");
#else
static_assert(sizeof(SHELLEXECUTEINFOW) == 60,
              "SHELLEXECUTEINFOW has 60 bytes in a 32-bit process");
#endif

// This platform starts "runas" without a prompt and never refuses: test
// builds can make ShellExecuteExW fail with "ERROR,INSTANCE" (the last
// error and the instance code it leaves).
bool ShellExecuteFailureFromSeam(SHELLEXECUTEINFOW* info) {
  std::string text;
  if (!lite_util::TestSeamValue("RUNAS_FAILURE", &text) || text.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  unsigned long error = std::strtoul(text.c_str(), &end, 10);
  unsigned long instance = 0;
  if (*end == ',') instance = std::strtoul(end + 1, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(instance));
  ::SetLastError(static_cast<DWORD>(error));
  return true;
}

}  // namespace

bool Installer::NeedStartThisProcessAsAdmin() {
  if (!IsUserAnAdminGroup(::GetCurrentProcess())) {
    LOG(INFO) << "User is not in admin group.";
    return false;
  }
  if (lite_util::GetWindowsRelease() < lite_util::kWindowsVista) {
    LOG(INFO) << "Windows version is not suitable for elevated restart.";
    return false;
  }
  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  for (const char* name : kNonInstallSwitches) {
    if (command_line.HasSwitch(name)) {
      LOG(INFO) << "Found non install-switch:" << name;
      return false;
    }
  }
  if (command_line.HasSwitch("run-as-admin")) {
    LOG(INFO) << "Run-as-admin functionality is already enabled.";
    return false;
  }
  return true;
}

std::wstring Installer::RelaunchProgram() const {
  return lite_util::GetRunningProgramPath();
}

bool Installer::RelaunchAsAdmin() {
  const CommandLine& own = CommandLine::ForCurrentProcess();
  CommandLine relaunch = own;
  relaunch.AppendSwitch("run-as-admin");
  relaunch.AppendSwitchASCII("parent-installer-process-id",
                             std::to_string(::GetCurrentProcessId()));
  CommandLine setup =
      BuildSetupCommandLine(own, kFakeBrowserArchive, false, LaunchState());
  relaunch.AppendSwitchNative("setup-cmd-line", setup.GetCommandLineString());
  std::wstring program = RelaunchProgram();
  relaunch.SetProgram(std::wstring());
  std::wstring parameters = relaunch.GetCommandLineString();
  LOG(INFO) << "Relaunch as admin: " << CommandLine::QuoteArgument(program)
            << parameters;

  elevated_process_.reset();
  std::unique_ptr<ElevatedInstallerProcess> elevated(
      new ElevatedInstallerProcess());
  if (!elevated->events_ready() || program.empty()) {
    LOG(ERROR) << "Cannot prepare the elevated installer.";
    return false;
  }
  // Made on this thread, and destroyed here too when the start fails;
  // otherwise the holder lets it go from whatever thread ends the copy.
  lite_util::ScopedOwnThreadWindow owner(CreatePromptOwnerWindow(true));

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner.Get();
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  bool started = false;
  if (!ShellExecuteFailureFromSeam(&info))
    started = ::ShellExecuteExW(&info) != FALSE;
  if (started && !info.hProcess) {
    // Nothing to wait for or to let go.
    ::SetLastError(ERROR_INVALID_HANDLE);
    started = false;
  }
  if (!started) {
    DWORD error = ::GetLastError();
    INT_PTR instance = reinterpret_cast<INT_PTR>(info.hInstApp);
    // Windows reports a refused prompt as ERROR_CANCELLED; the instance
    // code SE_ERR_ACCESSDENIED says the same.
    if (error == ERROR_CANCELLED || instance == SE_ERR_ACCESSDENIED)
      uac_declined_ = true;
    ELOG(ERROR, error) << "ShellExecuteExW failed, instance code="
                       << static_cast<long long>(instance)
                       << " declined=" << (uac_declined_ ? 1 : 0);
    return false;
  }
  LOG(INFO) << "Elevated installer started, process id="
            << ::GetProcessId(info.hProcess);
  elevated->Attach(info.hProcess, owner.Take());
  elevated_process_ = std::move(elevated);
  return true;
}

bool Installer::RunVerifiedModule(const std::wstring& archive_path,
                                  const CommandLine& setup) {
  // Whoever wrote the path, only a verified archive runs, and nobody can
  // change it between its verification and the setup's end.
  lite_util::ScopedFileHandle lock(::CreateFileW(
      archive_path.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!lock.IsValid()) {
    PLOG(ERROR) << "Cannot lock file: " << archive_path;
    return false;
  }
  if (!VerifyModule(archive_path)) {
    LOG(ERROR) << "Module verification failed: " << archive_path;
    setup_exit_code_ = kArchiveNotVerified;
    return false;
  }
  LOG(INFO) << "Verification succeeded: " << archive_path;
  DWORD exit_code = kSetupExitCodeNotRun;
  bool ok = lite_installer::RunModule(archive_path, setup, &exit_code,
                                      delegate_);
  setup_exit_code_ = static_cast<int>(exit_code);
  return ok;
}

}  // namespace lite_installer
