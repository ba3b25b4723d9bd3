#include "installer/install/elevation/child_progress_delegate.h"

namespace lite_installer {

void ChildProgressDelegate::OnRemainingTime(int seconds, int state) {
  ::PostMessageW(parent_window_, kInstallRemainingTimeMessage,
                 static_cast<WPARAM>(seconds), static_cast<LPARAM>(state));
}

void ChildProgressDelegate::SetProgress(int percent) {
  ::PostMessageW(parent_window_, kInstallProgressMessage,
                 static_cast<WPARAM>(percent), 0);
}

void ChildProgressDelegate::OnSetupStarted() {
  HWND cancel = ::GetDlgItem(parent_window_, kCancelControlId);
  // Asynchronous: a window thread that is busy (or waits for this very
  // copy while its window closes) must not hold up the setup.
  if (cancel) ::ShowWindowAsync(cancel, SW_HIDE);
}

}  // namespace lite_installer
