// Network calls with an overall deadline. WinINet's time-outs apply to
// each read: a host that trickles its answer a byte at a time never trips
// them. A call that must end in time runs on a thread of its own; when the
// deadline passes the caller goes on and leaves the thread to finish, or to
// be ended with the process.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DEADLINE_CALL_H_
#define INSTALLER_INSTALL_DOWNLOAD_DEADLINE_CALL_H_

#include <windows.h>

#include <functional>

namespace lite_installer {

// Runs |work| on a new thread and waits for it at most |deadline_ms|.
// True when it finished in time; false when the deadline passed (the thread
// is left running) or no thread could be started (|work| did not run).
// |work| must own everything it touches (copies, shared pointers): it may
// outlive the caller.
bool RunWithDeadline(std::function<void()> work, DWORD deadline_ms);

// The same with the deadline counted from when |work| signals |started|
// (a request sent), which is waited for at most |start_wait_ms|: what was
// started in time keeps its order with later calls.
bool RunWithDeadlineAfter(std::function<void()> work, HANDLE started,
                          DWORD start_wait_ms, DWORD deadline_ms);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DEADLINE_CALL_H_
