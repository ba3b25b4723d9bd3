#include "installer/main/process_window.h"

#include <windows.h>

#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

void BringProcessWindowToTop(uint32_t process_id) {
  if (process_id == 0) {
    PLOG(ERROR) << "Failed to bring process window to top: wrong process id";
    return;
  }
  WindowSearch search = {process_id, nullptr};
  ::EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
  HWND window = search.found;
  if (!window) return;

  DWORD window_thread = ::GetWindowThreadProcessId(window, nullptr);
  DWORD foreground_thread =
      ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
  if (::AttachThreadInput(window_thread, foreground_thread, TRUE)) {
    ::BringWindowToTop(window);
    ::SetForegroundWindow(window);
    ::AttachThreadInput(window_thread, foreground_thread, FALSE);
    if (::GetForegroundWindow() == window) return;
  }
  // The foreground lock would refuse us; lift it for the one call.
  DWORD timeout = 0;
  ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr,
                          SPIF_SENDCHANGE);
  ::BringWindowToTop(window);
  ::SetForegroundWindow(window);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)),
                          SPIF_SENDCHANGE);
}

}  // namespace lite_installer
