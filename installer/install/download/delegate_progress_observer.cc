#include "installer/install/download/delegate_progress_observer.h"

#include "installer/install/installer_delegate.h"

namespace lite_installer {

void DelegateProgressObserver::OnProgress(float fraction) {
  if (delegate_) delegate_->OnDownloadProgress(fraction);
}

void DelegateProgressObserver::OnSlow() {
  if (delegate_) delegate_->OnSlowDownload();
}

void DelegateProgressObserver::OnRemainingTime(int seconds, int state) {
  if (delegate_)
    delegate_->OnRemainingTime(seconds + kDelegateRemainingTimeOffset, state);
}

}  // namespace lite_installer
