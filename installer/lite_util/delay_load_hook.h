// What happens when a delay-loaded system library or one of its functions
// is missing (an old or damaged Windows): the installer logs
// "Windows dll is not found: <dll>" or
// "Function <name> not found in Windows dll <dll>" (a function imported by
// ordinal is named "#<ordinal>"), shows the text in a message box when
// user32 is already loaded and the run is not silent, and ends the process
// through the crash reporter.
//
// Exit codes of such an end are those Windows itself gives a process that
// dies of the delay-load helper's exception:
//   0xC06D007E  a library could not be loaded (kDelayLoadMissingLibraryExitCode)
//   0xC06D007F  a function was not found (kDelayLoadMissingProcedureExitCode)
//
// The handler calls only kernel32 (and user32 when it is already loaded):
// any other library may be the one that failed.
#ifndef INSTALLER_LITE_UTIL_DELAY_LOAD_HOOK_H_
#define INSTALLER_LITE_UTIL_DELAY_LOAD_HOOK_H_

#include <windows.h>

namespace lite_util {

constexpr DWORD kDelayLoadMissingLibraryExitCode = 0xC06D007E;
constexpr DWORD kDelayLoadMissingProcedureExitCode = 0xC06D007F;

// The text handed to ReportDelayLoadFailureAndExit lives in a buffer of this
// size on the failing thread's stack, so that a minidump holds it.
constexpr size_t kDelayLoadMessageBufferSize = 128;

// Sets the process's delay-load notification and failure hooks. Called first
// thing in wWinMain, before any delayed import is used.
void InstallDelayLoadFailureHook();

// The crash reporter's entry for a failure that is not an exception: it
// writes and uploads a report of the calling thread as if it had raised
// |code| and returns when that is done (or its waits ran out).
using DelayLoadFailureReporter = void (*)(DWORD code);

// Registered by the crash reporter while it lives; null removes it.
void SetDelayLoadFailureReporter(DelayLoadFailureReporter reporter);

// Hands a delayed-load failure to the registered crash reporter (the
// minidump holds the caller's stack with |message|) and ends the process
// with |exit_code|. Without a reporter the process ends at once.
[[noreturn]] void ReportDelayLoadFailureAndExit(const char* message,
                                                DWORD exit_code);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_DELAY_LOAD_HOOK_H_
