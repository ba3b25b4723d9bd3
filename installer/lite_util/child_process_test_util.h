// Starting a test program again as a child process, for the tests whose
// subject is what a second process sees (a shared section, a scale factor
// read once per process, a peer to signal).
#ifndef INSTALLER_LITE_UTIL_CHILD_PROCESS_TEST_UTIL_H_
#define INSTALLER_LITE_UTIL_CHILD_PROCESS_TEST_UTIL_H_

#include <windows.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {

// Starts this program again with |arguments| after its own path (a
// --gtest_filter naming the child's cases, then any switches). The
// environment variable |variable| holds |value| in the child only: it is
// set around the start and removed again. Empty when the child could not
// start.
inline ScopedProcessHandle StartTestChild(const std::wstring& arguments,
                                          const char* variable,
                                          const std::wstring& value) {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ScopedProcessHandle();
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
  const std::wstring name = Utf8ToWide(variable);
  ::SetEnvironmentVariableW(name.c_str(), value.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started =
      ::CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process);
  ::SetEnvironmentVariableW(name.c_str(), nullptr);
  if (!started) return ScopedProcessHandle();
  ::CloseHandle(process.hThread);
  return ScopedProcessHandle(process.hProcess);
}

// Waits up to a minute for |process| to end and returns its exit code;
// STILL_ACTIVE when it has not ended by then.
inline DWORD WaitForTestChild(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
    ::GetExitCodeProcess(process, &code);
  return code;
}

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_CHILD_PROCESS_TEST_UTIL_H_
