#include "installer/ui/controls/control_order.h"

namespace lite_installer {

void StackControls(HWND parent, std::initializer_list<int> chain) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    ::SetWindowLongPtrW(child, GWL_STYLE,
                        ::GetWindowLongPtrW(child, GWL_STYLE) | WS_CLIPSIBLINGS);
  }
  HWND previous = HWND_TOP;
  for (int id : chain) {
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;) {
      HWND next = ::GetWindow(child, GW_HWNDNEXT);
      if (::GetDlgCtrlID(child) == id) {
        ::SetWindowPos(child, previous, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = child;
      }
      child = next;
    }
  }
}

}  // namespace lite_installer
