// The parent's handle on the elevated copy of the installer: the copy waits
// for the go event (run the setup with the delayed parameters) or the abort
// event (give up); the parent sets one of them and collects the outcome.
#ifndef INSTALLER_INSTALL_ELEVATED_INSTALLER_PROCESS_H_
#define INSTALLER_INSTALL_ELEVATED_INSTALLER_PROCESS_H_

#include <windows.h>

#include <cstdint>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

extern const wchar_t kElevatedGoEventName[];
extern const wchar_t kElevatedAbortEventName[];

// How long a copy may take to end before it is terminated.
constexpr DWORD kElevatedProcessFinishTimeoutMs = 30000;

class ElevatedInstallerProcess {
 public:
  ElevatedInstallerProcess();
  ElevatedInstallerProcess(const ElevatedInstallerProcess&) = delete;
  ElevatedInstallerProcess& operator=(const ElevatedInstallerProcess&) =
      delete;

  // Takes ownership of |process| and of |window| (the window that was
  // given to the elevation prompt; may be null).
  virtual void Attach(HANDLE process, HWND window);
  // Aborts a copy that was never let go, and waits for it to end.
  virtual ~ElevatedInstallerProcess();
  // Lets the copy go and waits for it or for |stop_event|. True when the
  // copy ended with exit code 0.
  virtual bool RunModule(HANDLE stop_event);
  // Waits up to 30 s for the copy, terminates it if it hangs, then closes
  // every handle and destroys the window.
  virtual void EnsureProcessFinished();

  bool go_signalled() const { return go_signalled_; }
  bool terminated() const { return terminated_; }
  uint32_t exit_code() const { return exit_code_; }

 private:
  lite_util::ScopedProcessHandle process_;
  lite_util::ScopedWindow window_;
  lite_util::ScopedEventHandle go_event_;
  lite_util::ScopedEventHandle abort_event_;
  bool go_signalled_ = false;
  bool terminated_ = false;
  uint32_t exit_code_ = 0xFFFFFFFFu;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATED_INSTALLER_PROCESS_H_
