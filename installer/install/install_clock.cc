#include "installer/install/install_clock.h"

#include <windows.h>

namespace lite_installer {

int64_t SystemTimeMicros() {
  FILETIME now = {};
  // The precise variant is Windows 8 and later; kernel32 binds at load time.
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value;
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart / 10);
}

int64_t TicksWithoutSuspensionMicros() {
  ULONGLONG interrupt_time = 0;  // 100-ns units
  ::QueryUnbiasedInterruptTime(&interrupt_time);
  return static_cast<int64_t>(interrupt_time / 10);
}

int64_t PerformanceCounterMicros() {
  LARGE_INTEGER frequency = {};
  LARGE_INTEGER counter = {};
  if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0 ||
      !::QueryPerformanceCounter(&counter)) {
    return 0;
  }
  // Split to keep the multiplication inside 64 bits.
  int64_t seconds = counter.QuadPart / frequency.QuadPart;
  int64_t rest = counter.QuadPart % frequency.QuadPart;
  return seconds * 1000000 + rest * 1000000 / frequency.QuadPart;
}

std::wstring SecondsText(int64_t microseconds) {
  return std::to_wstring(microseconds / 1000000);
}

}  // namespace lite_installer
