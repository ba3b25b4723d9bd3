// Single running installer per logged-on user, and the id of the process
// that owns that role, shared between processes of the same installer file.
#ifndef INSTALLER_MAIN_INSTALLER_MUTEX_H_
#define INSTALLER_MAIN_INSTALLER_MUTEX_H_

#include <windows.h>

#include <cstdint>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

extern const wchar_t kInstallerMutexName[];

// Lives in the shared 4-byte section "SHARED" of the image: every process
// started from the same file sees the same value.
uint32_t GetMasterInstallerPid();
void SetMasterInstallerPid(uint32_t pid);

class InstallerMutex {
 public:
  InstallerMutex() = default;
  InstallerMutex(const InstallerMutex&) = delete;
  InstallerMutex& operator=(const InstallerMutex&) = delete;
  ~InstallerMutex();

  void Create();
  // True only when a zero-time wait returns WAIT_OBJECT_0; a mutex left
  // abandoned by a dead installer does not count as acquired.
  bool TryAcquire();

 private:
  lite_util::ScopedMutexHandle mutex_;
  bool owned_ = false;
};

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_INSTALLER_MUTEX_H_
