// An exclusive lock (a critical section, available on every Windows this
// installer supports) and its scoped holder.
#ifndef INSTALLER_LITE_UTIL_LOCK_H_
#define INSTALLER_LITE_UTIL_LOCK_H_

#include <windows.h>

namespace lite_util {

class Lock {
 public:
  Lock() { ::InitializeCriticalSection(&section_); }
  ~Lock() { ::DeleteCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Acquire() { ::EnterCriticalSection(&section_); }
  void Release() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class AutoLock {
 public:
  explicit AutoLock(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  ~AutoLock() { lock_.Release(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  Lock& lock_;
};

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_LOCK_H_
