// Prints the installer's view of the running Windows: "release=<n>
// build=<n> ubr=<n>", for the tests that switch the Wine prefix's version.
#include <cstdio>

#include "installer/lite_util/windows_release.h"

int main() {
  std::printf("release=%d build=%u ubr=%u\n",
              static_cast<int>(lite_util::GetWindowsRelease()),
              static_cast<unsigned>(lite_util::GetWindowsBuildNumber()),
              static_cast<unsigned>(lite_util::GetWindowsUbr()));
  std::fflush(stdout);
  return 0;
}
