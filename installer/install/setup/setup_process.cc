#include "installer/install/setup/setup_process.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "installer/install/installer_delegate.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/test_seams.h"
#include "installer/main/command_line.h"
#include "installer/main/setup_exit_code.h"

namespace lite_installer {
namespace {

// This platform answers a setup for another machine with error 193 (a bad
// image), never with ERROR_EXE_MACHINE_TYPE_MISMATCH: test builds can make
// the process creation fail with a chosen error instead.
bool CreationFailureFromSeam(DWORD* error) {
  std::string text;
  if (!lite_util::TestSeamValue("CREATE_PROCESS_ERROR", &text) || text.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *error = static_cast<DWORD>(value);
  return true;
}

}  // namespace

bool RunModuleAndWait(const wchar_t* application,
                      const std::wstring& command_line, DWORD* exit_code,
                      InstallerDelegate* delegate) {
  LOG(INFO) << "Run: " << command_line;
  if (exit_code) *exit_code = kSetupExitCodeNotRun;

  // CreateProcessW may write into the command-line buffer.
  std::vector<wchar_t> buffer(command_line.begin(), command_line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process_info = {};
  DWORD seam_error = 0;
  bool created = false;
  if (CreationFailureFromSeam(&seam_error)) {
    ::SetLastError(seam_error);
  } else {
    created = ::CreateProcessW(application, buffer.data(), nullptr, nullptr,
                               FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup_info, &process_info) != FALSE;
  }
  if (!created) {
    DWORD error = ::GetLastError();
    if (error == ERROR_EXE_MACHINE_TYPE_MISMATCH)
      SetFailureKind(kFailureMachineTypeMismatch);
    ELOG(ERROR, error) << "Create process failed.";
    return false;
  }
  lite_util::ScopedProcessHandle process(process_info.hProcess);
  lite_util::ScopedThreadHandle thread(process_info.hThread);
  LOG(INFO) << "Process created: " << process_info.dwProcessId;
  if (delegate) {
    delegate->SetProgress(40);
    delegate->OnSetupStarted();
  }
  thread.Close();

  LOG(INFO) << "Wait for process finish.";
  if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0) {
    PLOG(ERROR) << "Wait process failed.";
    return false;
  }
  if (!exit_code) return true;

  bool got_code = ::GetExitCodeProcess(process.Get(), exit_code) != FALSE;
  if (!got_code) PLOG(ERROR) << "Get setup process exit code failed.";
  LOG(INFO) << "Setup process exit with code: "
            << DescribeSetupExitCode(*exit_code);
  if (*exit_code == 7) {
    SetFailureKind(kFailureSetupExitCode7);
    return false;
  }
  if (*exit_code == 8) {
    SetFailureKind(kFailureSetupExitCode8);
    return false;
  }
  return got_code;
}

bool RunModule(const std::wstring& archive_path,
               const CommandLine& command_line, DWORD* setup_exit_code,
               InstallerDelegate* delegate) {
  CommandLine setup = command_line;
  setup.SetProgram(archive_path);
  setup.AppendSwitchASCII("source", "lite");
  return RunModuleAndWait(nullptr, setup.GetCommandLineString(),
                          setup_exit_code, delegate);
}

}  // namespace lite_installer
