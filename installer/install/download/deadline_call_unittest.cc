#include "installer/install/download/deadline_call.h"

#include <windows.h>

#include <memory>

#include <gtest/gtest.h>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

struct Shared {
  lite_util::ScopedEventHandle release{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  lite_util::ScopedEventHandle done{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  volatile LONG runs = 0;
};

TEST(RunWithDeadlineTest, WorkThatEndsInTimeHasRun) {
  auto shared = std::make_shared<Shared>();
  EXPECT_TRUE(RunWithDeadline(
      [shared] { ::InterlockedIncrement(&shared->runs); }, 5000));
  EXPECT_EQ(1, shared->runs);
}

TEST(RunWithDeadlineTest, WorkPastTheDeadlineIsLeftToFinishOnItsOwn) {
  auto shared = std::make_shared<Shared>();
  EXPECT_FALSE(RunWithDeadline(
      [shared] {
        ::WaitForSingleObject(shared->release.Get(), INFINITE);
        ::InterlockedIncrement(&shared->runs);
        ::SetEvent(shared->done.Get());
      },
      50));
  // The caller went on; the work still holds what it needs and finishes
  // once it can.
  EXPECT_EQ(0, shared->runs);
  ::SetEvent(shared->release.Get());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(shared->done.Get(), 10000));
  EXPECT_EQ(1, shared->runs);
}

}  // namespace
}  // namespace lite_installer
