// The elevated copy's window side: it has no window of its own and relays
// the setup's start and progress to the first process's window.
#ifndef INSTALLER_INSTALL_ELEVATION_CHILD_PROGRESS_DELEGATE_H_
#define INSTALLER_INSTALL_ELEVATION_CHILD_PROGRESS_DELEGATE_H_

#include <windows.h>

#include "installer/install/installer_delegate.h"

namespace lite_installer {

// Messages the first process's window receives from the copy.
constexpr UINT kInstallProgressMessage = WM_APP + 100;       // percent, 0
constexpr UINT kInstallRemainingTimeMessage = WM_APP + 101;  // seconds, state
// The first process window's cancel control, hidden once the setup runs.
constexpr int kCancelControlId = 212;

class ChildProgressDelegate : public InstallerDelegate {
 public:
  explicit ChildProgressDelegate(HWND parent_window)
      : parent_window_(parent_window) {}

  void OnDownloadProgress(float) override {}
  void OnSlowDownload() override {}
  void OnRemainingTime(int seconds, int state) override;
  void OnFinished(bool) override {}
  void OnError(int) override {}
  HWND GetWindowHandle() override { return parent_window_; }
  void SetProgress(int percent) override;
  // Hides (does not destroy: the window belongs to another process's
  // thread) the cancel control.
  void OnSetupStarted() override;

 private:
  HWND parent_window_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATION_CHILD_PROGRESS_DELEGATE_H_
