#include "installer/lite_util/windows_release.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "installer/lite_util/scoped_handle.h"

namespace lite_util {
namespace {

struct ReleaseCase {
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  WindowsRelease expected;
};

void ExpectClassified(const ReleaseCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const ReleaseCase& c = cases[i];
    EXPECT_EQ(c.expected, ClassifyWindowsRelease(c.major, c.minor, c.build))
        << c.major << "." << c.minor << "." << c.build;
  }
}

TEST(ClassifyWindowsReleaseTest, ReleasesBeforeWindows10ByMajorAndMinor) {
  const ReleaseCase cases[] = {
      {0, 0, 0, kWindowsPreXp},          {4, 10, 1998, kWindowsPreXp},
      {5, 0, 2195, kWindowsPreXp},       {5, 1, 2600, kWindowsXp},
      {5, 2, 3790, kWindowsServer2003},  {5, 3, 0, kWindowsServer2003},
      {5, 99, 0, kWindowsServer2003},    {6, 0, 6002, kWindowsVista},
      {6, 1, 7601, kWindows7},           {6, 2, 9200, kWindows8},
      {6, 3, 9600, kWindows8_1},         {6, 4, 9841, kWindows8_1},
      {6, 99, 0, kWindows8_1},
  };
  ExpectClassified(cases, sizeof(cases) / sizeof(cases[0]));
}

// Both sides of every build boundary of Windows 10 and 11 (major 10).
TEST(ClassifyWindowsReleaseTest, Windows10BuildBoundaries) {
  const ReleaseCase cases[] = {
      {10, 0, 0, kWindows10},
      {10, 0, 10240, kWindows10},
      {10, 0, 10585, kWindows10},
      {10, 0, 10586, kWindows10_1511},
      {10, 0, 14392, kWindows10_1511},
      {10, 0, 14393, kWindows10_1607},
      {10, 0, 15062, kWindows10_1607},
      {10, 0, 15063, kWindows10_1703},
      {10, 0, 16298, kWindows10_1703},
      {10, 0, 16299, kWindows10_1709},
      {10, 0, 17133, kWindows10_1709},
      {10, 0, 17134, kWindows10_1803},
      {10, 0, 17762, kWindows10_1803},
      {10, 0, 17763, kWindows10_1809},
      {10, 0, 18361, kWindows10_1809},
      {10, 0, 18362, kWindows10_1903},
      {10, 0, 18363, kWindows10_1909},
      {10, 0, 19040, kWindows10_1909},
      {10, 0, 19041, kWindows10_2004},
      {10, 0, 19042, kWindows10_20H2},
      {10, 0, 19043, kWindows10_21H1},
      {10, 0, 19044, kWindows10_21H2},
      {10, 0, 19045, kWindows10_22H2},
      {10, 0, 20347, kWindows10_22H2},
      {10, 0, 20348, kWindowsServer2022},
      {10, 0, 21999, kWindowsServer2022},
      {10, 0, 22000, kWindows11},
      {10, 0, 22620, kWindows11},
      {10, 0, 22621, kWindows11_22H2},
      {10, 0, 26100, kWindows11_22H2},
      {10, 0, 0xFFFFFFFF, kWindows11_22H2},
  };
  ExpectClassified(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ClassifyWindowsReleaseTest, OtherMajorVersions) {
  const ReleaseCase cases[] = {
      {11, 0, 0, kWindows11},           {11, 5, 30000, kWindows11},
      {7, 0, 0, kWindowsNewerMajor},    {9, 0, 0, kWindowsNewerMajor},
      {12, 0, 0, kWindowsNewerMajor},   {0xFFFFFFFF, 0, 0, kWindowsNewerMajor},
  };
  ExpectClassified(cases, sizeof(cases) / sizeof(cases[0]));
}

// Callers compare releases with < and >=; the values must follow the table.
TEST(ClassifyWindowsReleaseTest, ValuesFollowTheTable) {
  EXPECT_EQ(0, kWindowsPreXp);
  EXPECT_EQ(3, kWindowsVista);
  EXPECT_EQ(5, kWindows8);
  EXPECT_EQ(6, kWindows8_1);
  EXPECT_EQ(7, kWindows10);
  EXPECT_EQ(21, kWindowsServer2022);
  EXPECT_EQ(22, kWindows11);
  EXPECT_EQ(24, kWindowsNewerMajor);
}

TEST(WindowsReleaseTest, ProcessValuesDescribeTheRunningSystem) {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(::GetVersionExW(&info));
  WindowsRelease expected = ClassifyWindowsRelease(
      info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  EXPECT_EQ(expected, GetWindowsRelease());
  EXPECT_EQ(info.dwBuildNumber, GetWindowsBuildNumber());
  // The UBR only exists from Windows 10 on (windows_release_test reads it
  // back on a Windows 10 prefix); earlier systems report 0.
  if (expected < kWindows10) {
    EXPECT_EQ(0u, GetWindowsUbr());
  }
}

}  // namespace
}  // namespace lite_util
