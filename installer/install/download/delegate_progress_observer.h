// Hands the progress of the setup-archive download to the installer's
// delegate. The remaining time travels with an offset of 240 seconds, the
// form in which the elevated copy relays it to its parent window.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DELEGATE_PROGRESS_OBSERVER_H_
#define INSTALLER_INSTALL_DOWNLOAD_DELEGATE_PROGRESS_OBSERVER_H_

#include "installer/install/download/download_progress_observer.h"

namespace lite_installer {

class InstallerDelegate;

constexpr int kDelegateRemainingTimeOffset = 240;

class DelegateProgressObserver : public DownloadProgressObserver {
 public:
  // |delegate| (not owned) may be null: then every call does nothing.
  explicit DelegateProgressObserver(InstallerDelegate* delegate)
      : delegate_(delegate) {}

  void OnProgress(float fraction) override;
  void OnSlow() override;
  void OnRemainingTime(int seconds, int state) override;

 private:
  InstallerDelegate* delegate_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DELEGATE_PROGRESS_OBSERVER_H_
