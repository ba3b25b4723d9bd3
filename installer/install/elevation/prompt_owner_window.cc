#include "installer/install/elevation/prompt_owner_window.h"

namespace lite_installer {

HWND CreatePromptOwnerWindow(bool visible) {
  DWORD style = WS_POPUP | (visible ? WS_VISIBLE : 0);
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", style, 0,
                                  0, 0, 0, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (!window) return nullptr;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST),
                        &monitor)) {
    const RECT& area = monitor.rcMonitor;
    ::MoveWindow(window, area.left + (area.right - area.left) / 2,
                 area.top + (area.bottom - area.top) / 2, 0, 0, FALSE);
  }
  if (visible) ::SetForegroundWindow(window);
  return window;
}

}  // namespace lite_installer
