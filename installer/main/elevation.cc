#include "installer/main/elevation.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "installer/install/elevation/child_progress_delegate.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/installer.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

constexpr int kElevatedFailure = -1;

// The leading decimal digits of |text| as an unsigned number; false when
// there are none, something else follows, or the number overflows.
bool ParseUnsigned(const std::wstring& text, unsigned long long* value) {
  *value = 0;
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    unsigned long long digit = static_cast<unsigned long long>(c - L'0');
    if (*value > (~0ull - digit) / 10) return false;
    *value = *value * 10 + digit;
  }
  return true;
}

// The event by name, or null (the wait then fails at once).
HANDLE OpenNamedEvent(const wchar_t* name) {
  return ::OpenEventA(SYNCHRONIZE, FALSE, lite_util::WideToUtf8(name).c_str());
}

}  // namespace

int ExecuteAsAdmin() {
  const CommandLine& own = CommandLine::ForCurrentProcess();
  std::wstring setup_text = own.GetSwitchValueNative("setup-cmd-line");
  std::string parent_text =
      own.GetSwitchValueASCII("parent-installer-process-id");
  unsigned long long parent_id = 0;
  if (!ParseUnsigned(lite_util::Utf8ToWide(parent_text), &parent_id) ||
      parent_id > 0xFFFFFFFFull) {
    PLOG(ERROR) << "Suspicious process id=" << parent_text;
    if (parent_id > 0xFFFFFFFFull) parent_id = 0;
  }
  lite_util::ScopedProcessHandle parent(::OpenProcess(
      SYNCHRONIZE, TRUE, static_cast<DWORD>(parent_id)));
  LOG(INFO) << "Start installer as admin";
  CommandLine setup = CommandLine::FromString(setup_text);

  lite_util::ScopedEventHandle go_event(OpenNamedEvent(kElevatedGoEventName));
  lite_util::ScopedEventHandle abort_event(
      OpenNamedEvent(kElevatedAbortEventName));
  HANDLE handles[3] = {go_event.Get(), abort_event.Get(), parent.Get()};
  // The handles the copy waits on are opened by now: from here on the first
  // process's end wakes it as "wr=2" (a missing event makes the wait fail at once).
  LOG(INFO) << "Waiting for the go of the first installer process: go_event="
            << (go_event.IsValid() ? 1 : 0)
            << " abort_event=" << (abort_event.IsValid() ? 1 : 0);
  DWORD wait = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  if (wait != WAIT_OBJECT_0) {
    PLOG(ERROR) << "Installer started as admin has been unexpectedly synced, "
                   "wr="
                << static_cast<uint32_t>(wait);
    return kElevatedFailure;
  }
  // The handshake is over. The events' names are fixed, so holding them
  // while the setup runs (it may outlive the first process by minutes)
  // would keep the next installer on this desktop from making its own
  // and elevating.
  go_event.Close();
  abort_event.Close();

  if (!ApplyDelayedParams(&setup)) return kElevatedFailure;
  std::wstring archive_path = setup.GetProgram();
  if (::GetFileAttributesW(archive_path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    PLOG(ERROR) << "Browser archive " << archive_path << " does not exist";
    return kElevatedFailure;
  }

  unsigned long long window_value = 0;
  ParseUnsigned(setup.GetSwitchValueNative("progress-window"), &window_value);
  HWND window =
      reinterpret_cast<HWND>(static_cast<uintptr_t>(window_value));
  ChildProgressDelegate delegate(window);
  bool ok = false;
  int setup_exit_code = 0;
  {
    Installer installer(&delegate, nullptr, nullptr, false);
    ok = installer.RunVerifiedModule(archive_path, setup);
    setup_exit_code = installer.setup_exit_code();
  }
  LOG(INFO) << "RunModule results: success=" << (ok ? 1 : 0)
            << " error_code=" << setup_exit_code;
  return ok ? 0 : kElevatedFailure;
}

}  // namespace lite_installer
