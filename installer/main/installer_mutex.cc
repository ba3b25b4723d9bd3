#include "installer/main/installer_mutex.h"

namespace lite_installer {

const wchar_t kInstallerMutexName[] =
    L"Local\\KelvraBrowserLiteInstallerMutex-"
    L"E523E369-4A72-4B13-AD57-5B956174172A";

namespace {
// Initialised data in a section marked shared (read, write, shared).
__attribute__((section("SHARED"), shared)) volatile uint32_t
    master_installer_pid = 0;
}  // namespace

uint32_t GetMasterInstallerPid() { return master_installer_pid; }
void SetMasterInstallerPid(uint32_t pid) { master_installer_pid = pid; }

InstallerMutex::~InstallerMutex() {
  if (owned_) ::ReleaseMutex(mutex_.Get());
}

void InstallerMutex::Create() {
  mutex_.Set(::CreateMutexW(nullptr, FALSE, kInstallerMutexName));
}

bool InstallerMutex::TryAcquire() {
  DWORD wait = WAIT_FAILED;
  if (mutex_.IsValid()) wait = ::WaitForSingleObject(mutex_.Get(), 0);
  // WAIT_ABANDONED also hands ownership to this thread, but a dead
  // installer's state is unknown: the caller treats it as taken and exits,
  // which abandons the mutex again for the next instance.
  owned_ = wait == WAIT_OBJECT_0;
  return owned_;
}

}  // namespace lite_installer
