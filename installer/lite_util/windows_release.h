// The running Windows as one ordered number, so that callers can ask "Vista
// or later" or "Windows 10 or later" with a comparison, plus the build number
// and the update build revision (UBR) that statistics and crash reports name.
#ifndef INSTALLER_LITE_UTIL_WINDOWS_RELEASE_H_
#define INSTALLER_LITE_UTIL_WINDOWS_RELEASE_H_

#include <cstdint>

namespace lite_util {

// The order matters: later releases have larger values. Windows 10 releases
// are named after their version (build in the comment).
enum WindowsRelease : int {
  kWindowsPreXp = 0,
  kWindowsXp = 1,
  kWindowsServer2003 = 2,
  kWindowsVista = 3,
  kWindows7 = 4,
  kWindows8 = 5,
  kWindows8_1 = 6,
  kWindows10 = 7,          // 10240
  kWindows10_1511 = 8,     // 10586
  kWindows10_1607 = 9,     // 14393
  kWindows10_1703 = 10,    // 15063
  kWindows10_1709 = 11,    // 16299
  kWindows10_1803 = 12,    // 17134
  kWindows10_1809 = 13,    // 17763
  kWindows10_1903 = 14,    // 18362
  kWindows10_1909 = 15,    // 18363
  kWindows10_2004 = 16,    // 19041
  kWindows10_20H2 = 17,    // 19042
  kWindows10_21H1 = 18,    // 19043
  kWindows10_21H2 = 19,    // 19044
  kWindows10_22H2 = 20,    // 19045
  kWindowsServer2022 = 21, // 20348
  kWindows11 = 22,         // 22000
  kWindows11_22H2 = 23,    // 22621
  kWindowsNewerMajor = 24,
};

// Pure classification of a version triple as GetVersionExW reports it.
WindowsRelease ClassifyWindowsRelease(uint32_t major, uint32_t minor,
                                      uint32_t build);

// The running system, computed on first use and kept for the process.
WindowsRelease GetWindowsRelease();
uint32_t GetWindowsBuildNumber();
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion "UBR" on Windows 10 and
// later; 0 before Windows 10 or when the value is absent.
uint32_t GetWindowsUbr();

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_WINDOWS_RELEASE_H_
