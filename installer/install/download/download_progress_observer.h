// Receives the progress of one download attempt (see DownloadFile): the
// archive download forwards it to the window, the other downloads pass none.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_PROGRESS_OBSERVER_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_PROGRESS_OBSERVER_H_

namespace lite_installer {

// States of OnRemainingTime.
constexpr int kRemainingTimeUnknown = 0;
constexpr int kRemainingTimeEstimated = 1;
constexpr int kRemainingTimeDone = 2;

class DownloadProgressObserver {
 public:
  virtual ~DownloadProgressObserver() = default;
  // |fraction| of the whole file that is stored, 0.0 to 1.0.
  virtual void OnProgress(float fraction) = 0;
  // The download is expected to take more than two minutes in all.
  virtual void OnSlow() = 0;
  // |seconds| left (-1 while unknown) and one of the states above.
  virtual void OnRemainingTime(int seconds, int state) = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_PROGRESS_OBSERVER_H_
