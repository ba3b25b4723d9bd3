// Starting the browser setup (or the elevated copy of the installer) and
// waiting for it.
#ifndef INSTALLER_INSTALL_SETUP_SETUP_PROCESS_H_
#define INSTALLER_INSTALL_SETUP_SETUP_PROCESS_H_

#include <windows.h>

#include <string>

namespace lite_installer {

class CommandLine;
class InstallerDelegate;

// The exit code reported while the setup has not run to its end.
constexpr DWORD kSetupExitCodeNotRun = 400;

// Starts |command_line| (with |application| as the program file, may be
// null) without a window and waits for it without a time-out. |exit_code|
// (may be null) starts at 400 and receives the process's code. |delegate|
// (may be null) hears of the start. False when the process could not be
// created or waited for, and when the setup exited with 7 or 8 (the
// failure kind then says which); any other exit code counts as a run.
bool RunModuleAndWait(const wchar_t* application,
                      const std::wstring& command_line, DWORD* exit_code,
                      InstallerDelegate* delegate);

// Runs the archive at |archive_path| with |command_line| (switch source set
// to "lite").
bool RunModule(const std::wstring& archive_path,
               const CommandLine& command_line, DWORD* setup_exit_code,
               InstallerDelegate* delegate);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_SETUP_SETUP_PROCESS_H_
