// The clocks of an installation's timing values, in microseconds.
#ifndef INSTALLER_INSTALL_INSTALL_CLOCK_H_
#define INSTALLER_INSTALL_INSTALL_CLOCK_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// Wall-clock time since 1601-01-01 UTC; durations are differences of it.
int64_t SystemTimeMicros();
// Time since boot that stops while the system is suspended.
int64_t TicksWithoutSuspensionMicros();
// The performance counter, which keeps running through a suspension.
int64_t PerformanceCounterMicros();

// A duration in microseconds as the reports carry it: whole seconds,
// truncated toward zero, in decimal.
std::wstring SecondsText(int64_t microseconds);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALL_CLOCK_H_
