// The parent's handle on the elevated copy of the installer: the copy waits
// for the go event (run the setup with the delayed parameters) or the abort
// event (give up); the parent sets one of them and collects the outcome.
#ifndef INSTALLER_INSTALL_ELEVATION_ELEVATED_INSTALLER_PROCESS_H_
#define INSTALLER_INSTALL_ELEVATION_ELEVATED_INSTALLER_PROCESS_H_

#include <windows.h>

#include <cstdint>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

extern const wchar_t kElevatedGoEventName[];
extern const wchar_t kElevatedAbortEventName[];

// How long a copy may take to end before it is terminated, and how long a
// parent that was stopped after letting the copy go still waits for its
// exit code.
constexpr DWORD kElevatedProcessFinishTimeoutMs = 30000;

class ElevatedInstallerProcess {
 public:
  // Creates the go and abort events. When either already existed (another
  // process made it first) both are given up: events_ready() is false.
  ElevatedInstallerProcess();
  ElevatedInstallerProcess(const ElevatedInstallerProcess&) = delete;
  ElevatedInstallerProcess& operator=(const ElevatedInstallerProcess&) =
      delete;

  // Takes ownership of |process| and of |window| (the window that was
  // given to the elevation prompt; may be null). The window is destroyed on
  // the thread that made it.
  virtual void Attach(HANDLE process, HWND window);
  // Aborts a copy that was never let go, and waits for it to end.
  virtual ~ElevatedInstallerProcess();
  // Lets the copy go and waits for it or for |stop_event|. A stop after
  // the go still gives the copy up to 30 s to end, as its setup may be
  // half-way. True when the copy ended with exit code 0.
  virtual bool RunModule(HANDLE stop_event);
  // Waits up to 30 s for the copy, terminates it if it hangs, then closes
  // every handle and destroys the window.
  virtual void EnsureProcessFinished();

  // Both events were made by this object.
  bool events_ready() const { return events_ready_; }
  bool go_signalled() const { return go_signalled_; }
  bool terminated() const { return terminated_; }
  uint32_t exit_code() const { return exit_code_; }
  // The copy's process; null before Attach.
  HANDLE process() const { return process_.Get(); }

  // How long the waits for an ending copy last.
  DWORD finish_timeout_ms() const { return finish_timeout_ms_; }
  // Shortens the 30-second waits in tests.
  void set_finish_timeout_ms_for_testing(DWORD timeout_ms) {
    finish_timeout_ms_ = timeout_ms;
  }

 private:
  // Reads the ended copy's exit code into exit_code_.
  bool CollectExitCode();

  lite_util::ScopedProcessHandle process_;
  lite_util::ScopedOwnThreadWindow window_;
  lite_util::ScopedEventHandle go_event_;
  lite_util::ScopedEventHandle abort_event_;
  bool events_ready_ = false;
  bool go_signalled_ = false;
  bool terminated_ = false;
  uint32_t exit_code_ = 0xFFFFFFFFu;
  DWORD finish_timeout_ms_ = kElevatedProcessFinishTimeoutMs;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ELEVATION_ELEVATED_INSTALLER_PROCESS_H_
