#include "installer/install/download/deadline_call.h"

#include <memory>
#include <utility>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

DWORD WINAPI RunWork(void* context) {
  std::unique_ptr<std::function<void()>> work(
      static_cast<std::function<void()>*>(context));
  (*work)();
  return 0;
}

}  // namespace

bool RunWithDeadline(std::function<void()> work, DWORD deadline_ms) {
  return RunWithDeadlineAfter(std::move(work), nullptr, 0, deadline_ms);
}

bool RunWithDeadlineAfter(std::function<void()> work, HANDLE started,
                          DWORD start_wait_ms, DWORD deadline_ms) {
  auto* owned = new std::function<void()>(std::move(work));
  lite_util::ScopedThreadHandle thread(
      ::CreateThread(nullptr, 0, &RunWork, owned, 0, nullptr));
  if (!thread.IsValid()) {
    PLOG(ERROR) << "Cannot start a thread for a network call";
    delete owned;
    return false;
  }
  if (started) {
    HANDLE both[2] = {thread.Get(), started};
    if (::WaitForMultipleObjects(2, both, FALSE, start_wait_ms) ==
        WAIT_OBJECT_0) {
      return true;
    }
  }
  if (::WaitForSingleObject(thread.Get(), deadline_ms) == WAIT_OBJECT_0)
    return true;
  LOG(WARNING) << "A network call did not end within " << deadline_ms
               << " ms; not waiting for it";
  return false;
}

}  // namespace lite_installer
