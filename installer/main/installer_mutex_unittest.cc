#include "installer/main/installer_mutex.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// Runs |body| on a thread of its own and waits for it: a mutex is owned by
// a thread, and the thread that owns it may take it again.
template <typename Body>
void RunOnOtherThread(Body body) {
  struct Call {
    static DWORD WINAPI Run(void* context) {
      (*static_cast<Body*>(context))();
      return 0;
    }
  };
  lite_util::ScopedHandle thread(
      ::CreateThread(nullptr, 0, &Call::Run, &body, 0, nullptr));
  ASSERT_TRUE(thread.IsValid());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.Get(), 10000));
}

TEST(InstallerMutexTest, TheFirstInstanceTakesItAndAnotherThreadCannot) {
  InstallerMutex mutex;
  mutex.Create();
  ASSERT_TRUE(mutex.TryAcquire());
  bool other_acquired = true;
  RunOnOtherThread([&other_acquired] {
    InstallerMutex second;
    second.Create();
    other_acquired = second.TryAcquire();
  });
  EXPECT_FALSE(other_acquired);
}

TEST(InstallerMutexTest, ANameHeldByAnotherKindOfObjectIsNotAcquired) {
  // CreateMutexW fails when an event already holds the name: the handle is
  // null, and the installer must treat that as "another instance".
  lite_util::ScopedHandle event(
      ::CreateEventW(nullptr, TRUE, TRUE, kInstallerMutexName));
  ASSERT_TRUE(event.IsValid());
  ASSERT_EQ(nullptr, ::CreateMutexW(nullptr, FALSE, kInstallerMutexName));
  InstallerMutex mutex;
  mutex.Create();
  EXPECT_FALSE(mutex.TryAcquire());
  EXPECT_FALSE(mutex.TryAcquire());
}

TEST(InstallerMutexTest, AnAbandonedMutexIsNotAcquired) {
  // A thread that ends while owning the mutex abandons it; the handle it
  // made keeps the object alive after the thread.
  HANDLE created = nullptr;
  RunOnOtherThread([&created] {
    created = ::CreateMutexW(nullptr, TRUE, kInstallerMutexName);
  });
  lite_util::ScopedMutexHandle abandoned(created);
  ASSERT_TRUE(abandoned.IsValid());
  InstallerMutex mutex;
  mutex.Create();
  EXPECT_FALSE(mutex.TryAcquire());
}

}  // namespace
}  // namespace lite_installer
