#include "installer/ui/dialog_window.h"

#include <windowsx.h>

#include <map>
#include <mutex>

#include "installer/lite_util/logging/log.h"
#include "installer/ui/localized_strings.h"

namespace lite_installer {
namespace {

// Window handle -> object. Windows run on their own thread, but a dialog may
// run on another thread than the main window, so the map is locked.
struct HandleMap {
  std::mutex lock;
  std::map<HWND, DialogWindow*> windows;
};

HandleMap& Map() {
  static HandleMap map;
  return map;
}

}  // namespace

POINT CenteredOrigin(SIZE size, const RECT& center, const RECT& limit) {
  POINT origin;
  origin.x = (center.left + center.right) / 2 - size.cx / 2;
  if (origin.x + size.cx > limit.right) origin.x = limit.right - size.cx;
  if (origin.x < limit.left) origin.x = limit.left;
  origin.y = (center.top + center.bottom) / 2 - size.cy / 2;
  if (origin.y + size.cy > limit.bottom) origin.y = limit.bottom - size.cy;
  if (origin.y < limit.top) origin.y = limit.top;
  return origin;
}

DialogWindow::DialogWindow()
    : move_message_(::RegisterWindowMessageW(kMoveWindowMessageName)) {}

DialogWindow::~DialogWindow() {
  if (hwnd_) Detach();
}

DialogWindow* DialogWindow::FromHandle(HWND window) {
  HandleMap& map = Map();
  std::lock_guard<std::mutex> guard(map.lock);
  auto it = map.windows.find(window);
  return it == map.windows.end() ? nullptr : it->second;
}

bool DialogWindow::Attach(HWND window) {
  if (!window) return false;
  if (hwnd_) Detach();
  hwnd_ = window;
  {
    HandleMap& map = Map();
    std::lock_guard<std::mutex> guard(map.lock);
    map.windows[window] = this;
  }
  previous_proc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  if (!previous_proc_) {
    PLOG(ERROR) << "Failed to subclass a window";
    Detach();
    return false;
  }
  return true;
}

void DialogWindow::Detach() {
  if (hwnd_ && previous_proc_ && ::IsWindow(hwnd_))
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(previous_proc_));
  if (hwnd_) {
    HandleMap& map = Map();
    std::lock_guard<std::mutex> guard(map.lock);
    auto it = map.windows.find(hwnd_);
    if (it != map.windows.end() && it->second == this) map.windows.erase(it);
  }
  if (dragging_) OnDragEnd(false);
  hwnd_ = nullptr;
  previous_proc_ = nullptr;
}

HWND DialogWindow::CreateChildWindow(HWND parent, const RECT& rect,
                                     const wchar_t* title, DWORD style,
                                     DWORD ex_style, const wchar_t* class_name,
                                     void* param) {
  HWND window = ::CreateWindowExW(
      ex_style, class_name ? class_name : L"Static", title, style, rect.left,
      rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
      nullptr, ::GetModuleHandleW(nullptr), param);
  if (!window) {
    PLOG(ERROR) << "Failed to create a window";
    return nullptr;
  }
  Attach(window);
  return window;
}

INT_PTR DialogWindow::RunModal(HWND owner) {
  if (!owner) owner = ::GetActiveWindow();
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr),
                           MAKEINTRESOURCEW(GetDialogTemplateId()), owner,
                           &DialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogWindow::SetItemText(int control_id, int string_id,
                               int language_id) {
  SetItemTextDirect(control_id, LoadLocalizedString(string_id, language_id));
}

void DialogWindow::SetItemTextDirect(int control_id,
                                     const std::wstring& text) {
  ::SetDlgItemTextW(hwnd_, control_id, text.c_str());
}

void DialogWindow::CenterWindow(HWND owner) {
  HWND window = hwnd_;
  LONG style = ::GetWindowLongW(window, GWL_STYLE);
  bool child = (style & WS_CHILD) != 0;
  if (!owner)
    owner = child ? ::GetParent(window) : ::GetWindow(window, GW_OWNER);
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return;
  SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
  RECT center, limit;
  if (child) {
    HWND parent = ::GetParent(window);
    ::GetClientRect(parent, &limit);
    if (owner) {
      ::GetClientRect(owner, &center);
      ::MapWindowPoints(owner, parent, reinterpret_cast<POINT*>(&center), 2);
    } else {
      center = limit;
    }
  } else {
    bool use_owner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);
    HMONITOR monitor = ::MonitorFromWindow(use_owner ? owner : window,
                                           MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info)) return;
    limit = info.rcWork;
    if (use_owner)
      ::GetWindowRect(owner, &center);
    else
      center = limit;
  }
  POINT origin = CenteredOrigin(size, center, limit);
  ::SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT DialogWindow::CallPreviousProc(HWND window, UINT message,
                                       WPARAM wparam, LPARAM lparam) {
  if (!previous_proc_) return ::DefWindowProcW(window, message, wparam, lparam);
  return ::CallWindowProcW(previous_proc_, window, message, wparam, lparam);
}

LRESULT CALLBACK DialogWindow::WindowProc(HWND window, UINT message,
                                          WPARAM wparam, LPARAM lparam) {
  DialogWindow* self = FromHandle(window);
  if (!self) return ::DefWindowProcW(window, message, wparam, lparam);
  WNDPROC previous = self->previous_proc_;
  LRESULT result = 0;
  bool handled = self->HandleMessage(window, message, wparam, lparam, &result);
  if (message == WM_NCDESTROY) {
    // The handle may be reused by a later window: unbind it now. The object
    // may have been destroyed by its handler; look it up again.
    if (DialogWindow* still = FromHandle(window)) still->Detach();
    return ::CallWindowProcW(previous, window, message, wparam, lparam);
  }
  if (handled) return result;
  return ::CallWindowProcW(previous, window, message, wparam, lparam);
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message,
                                          WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<DialogWindow*>(lparam);
    if (!self) return FALSE;
    self->Attach(window);
    LRESULT ignored = 0;
    self->HandleMessage(window, WM_INITDIALOG, wparam, lparam, &ignored);
    return FALSE;
  }
  DialogWindow* self = FromHandle(window);
  if (!self) return FALSE;
  switch (message) {
    case WM_LBUTTONDOWN:
      self->OnDragStart(window, lparam);
      break;
    case WM_MOUSEMOVE:
      if (self->dragging_) self->OnDragMove(window, wparam, lparam);
      break;
    case WM_LBUTTONUP:
      if (self->dragging_) self->OnDragEnd(true);
      break;
    case WM_CAPTURECHANGED:
      // Another window took the mouse: the drag cannot go on.
      if (self->dragging_) self->OnDragEnd(false);
      break;
  }
  return FALSE;
}

void DialogWindow::OnDragStart(HWND window, LPARAM lparam) {
  POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ClientToScreen(window, &point);
  drag_point_ = point;
  dragging_ = true;
  ::SetCapture(window);
}

void DialogWindow::OnDragMove(HWND window, WPARAM wparam, LPARAM lparam) {
  if (!(wparam & MK_LBUTTON)) {
    // The button went up where this window did not see it.
    OnDragEnd(true);
    return;
  }
  RECT rect;
  if (!::GetWindowRect(window, &rect)) return;
  POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ClientToScreen(window, &point);
  ::MoveWindow(window, rect.left + point.x - drag_point_.x,
               rect.top + point.y - drag_point_.y, rect.right - rect.left,
               rect.bottom - rect.top, TRUE);
  drag_point_ = point;
  if (move_message_) {
    LRESULT ignored = 0;
    HandleMessage(window, move_message_, wparam, lparam, &ignored);
  }
}

void DialogWindow::OnDragEnd(bool release_capture) {
  dragging_ = false;
  if (release_capture && ::GetCapture() == hwnd_) ::ReleaseCapture();
}

}  // namespace lite_installer
