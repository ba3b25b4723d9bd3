// Time-outs of WinINet requests that must not wait for ever.
#ifndef INSTALLER_INSTALL_DOWNLOAD_INTERNET_TIMEOUTS_H_
#define INSTALLER_INSTALL_DOWNLOAD_INTERNET_TIMEOUTS_H_

#include <windows.h>
#include <wininet.h>

namespace lite_installer {

// For a status callback: when |status| reports a new handle (a connection
// or a request of InternetOpenUrlW), gives it |timeout_ms| as receive
// time-out. Wine takes a receive time-out only on those handles, not on
// the root handle, and without one waits for an answer for ever. The
// information of HANDLE_CREATED starts with the new handle on every
// platform (an INTERNET_ASYNC_RESULT on Windows, the handle on Wine).
void SetReceiveTimeoutOnCreatedHandle(DWORD status, void* information,
                                      DWORD information_length,
                                      DWORD timeout_ms);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_INTERNET_TIMEOUTS_H_
