// Time as the download code sees it: the tick count for the remaining-time
// estimate and the pause between attempts, which ends early when the
// installation is stopped. Tests hand in a fake, so that attempt loops and
// estimates are checked in milliseconds.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_CLOCK_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_CLOCK_H_

#include <windows.h>

#include <cstdint>

namespace lite_installer {

class DownloadClock {
 public:
  virtual ~DownloadClock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32 like
  // GetTickCount: differences of two values are right for 49 days.
  virtual uint32_t TickCount() = 0;
  // Waits up to |milliseconds| for |stop_event| (may be null: then the
  // whole pause passes). True when the event was signalled.
  virtual bool WaitForStop(HANDLE stop_event, uint32_t milliseconds) = 0;
};

// The real clock; one process-wide instance.
DownloadClock* SystemDownloadClock();

// Whether |event| (may be null) is signalled, without waiting.
bool IsEventSignaled(HANDLE event);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_CLOCK_H_
