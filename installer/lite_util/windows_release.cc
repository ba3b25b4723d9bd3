#include "installer/lite_util/windows_release.h"

#include <windows.h>

#include "installer/lite_util/scoped_handle.h"

namespace lite_util {
namespace {

struct WindowsVersion {
  WindowsRelease release = kWindowsPreXp;
  uint32_t build = 0;
  uint32_t ubr = 0;
};

// First build of each Windows 10 release after the first, in order.
struct BuildStep {
  uint32_t first_build;
  WindowsRelease release;
};
constexpr BuildStep kWindows10Steps[] = {
    {10586, kWindows10_1511},    {14393, kWindows10_1607},
    {15063, kWindows10_1703},    {16299, kWindows10_1709},
    {17134, kWindows10_1803},    {17763, kWindows10_1809},
    {18362, kWindows10_1903},    {18363, kWindows10_1909},
    {19041, kWindows10_2004},    {19042, kWindows10_20H2},
    {19043, kWindows10_21H1},    {19044, kWindows10_21H2},
    {19045, kWindows10_22H2},    {20348, kWindowsServer2022},
    {22000, kWindows11},         {22621, kWindows11_22H2},
};

WindowsRelease ClassifyMajor10(uint32_t build) {
  WindowsRelease release = kWindows10;
  for (const BuildStep& step : kWindows10Steps) {
    if (build < step.first_build) break;
    release = step.release;
  }
  return release;
}

uint32_t ReadUbr() {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      key.Receive()) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (::RegQueryValueExW(key.Get(), L"UBR", nullptr, &type,
                         reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return 0;
  }
  return value;
}

WindowsVersion QueryWindowsVersion() {
  WindowsVersion version;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!::GetVersionExW(&info)) return version;
  version.release = ClassifyWindowsRelease(
      info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  version.build = info.dwBuildNumber;
  if (version.release >= kWindows10) version.ubr = ReadUbr();
  return version;
}

const WindowsVersion& CurrentWindowsVersion() {
  static const WindowsVersion version = QueryWindowsVersion();
  return version;
}

}  // namespace

WindowsRelease ClassifyWindowsRelease(uint32_t major, uint32_t minor,
                                      uint32_t build) {
  if (major < 5) return kWindowsPreXp;
  if (major == 5) {
    if (minor == 0) return kWindowsPreXp;
    return minor == 1 ? kWindowsXp : kWindowsServer2003;
  }
  if (major == 6) {
    switch (minor) {
      case 0:
        return kWindowsVista;
      case 1:
        return kWindows7;
      case 2:
        return kWindows8;
      default:
        return kWindows8_1;
    }
  }
  if (major == 10) return ClassifyMajor10(build);
  if (major == 11) return kWindows11;
  return kWindowsNewerMajor;
}

WindowsRelease GetWindowsRelease() { return CurrentWindowsVersion().release; }

uint32_t GetWindowsBuildNumber() { return CurrentWindowsVersion().build; }

uint32_t GetWindowsUbr() { return CurrentWindowsVersion().ubr; }

}  // namespace lite_util
