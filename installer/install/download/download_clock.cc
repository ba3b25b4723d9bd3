#include "installer/install/download/download_clock.h"

namespace lite_installer {
namespace {

class SystemClock : public DownloadClock {
 public:
  // GetTickCount rather than GetTickCount64, which Windows XP lacks.
  uint32_t TickCount() override { return ::GetTickCount(); }

  bool WaitForStop(HANDLE stop_event, uint32_t milliseconds) override {
    if (!stop_event) {
      ::Sleep(milliseconds);
      return false;
    }
    return ::WaitForSingleObject(stop_event, milliseconds) == WAIT_OBJECT_0;
  }
};

}  // namespace

DownloadClock* SystemDownloadClock() {
  static SystemClock clock;
  return &clock;
}

bool IsEventSignaled(HANDLE event) {
  return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace lite_installer
