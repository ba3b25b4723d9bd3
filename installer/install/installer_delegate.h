// What the window side of an installation implements: the main window, or
// the elevated copy's relay to its parent window. Calls come from the
// install thread. The slot order is part of the contract.
#ifndef INSTALLER_INSTALL_INSTALLER_DELEGATE_H_
#define INSTALLER_INSTALL_INSTALLER_DELEGATE_H_

#include <windows.h>

namespace lite_installer {

class InstallerDelegate {
 public:
  virtual ~InstallerDelegate() = default;
  // |fraction| of the setup archive that is downloaded, 0.0 to 1.0.
  virtual void OnDownloadProgress(float fraction) = 0;
  virtual void OnSlowDownload() = 0;
  // The remaining download time as the observer reported it plus
  // kDelegateRemainingTimeOffset, and its state.
  virtual void OnRemainingTime(int seconds, int state) = 0;
  virtual void OnFinished(bool success) = 0;
  // An installation result code other than 0.
  virtual void OnError(int result) = 0;
  virtual HWND GetWindowHandle() = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void OnSetupStarted() = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALLER_DELEGATE_H_
