// Values that the test build of a program can be handed from outside, for
// facts a test cannot arrange for real (such as the free disk space). The
// shipped build is compiled without LITE_INSTALLER_TEST_SEAMS: there every
// seam answers false and no environment is consulted.
#ifndef INSTALLER_LITE_UTIL_TEST_SEAM_VALUE_H_
#define INSTALLER_LITE_UTIL_TEST_SEAM_VALUE_H_

#include <string>

namespace lite_util {

// The value of the environment variable "LITE_INSTALLER_SEAM_" + |name| in
// a test build; false when it is not set, and always in the shipped build.
// Seam names:
//   "FREE_DISK_BYTES"  decimal byte count HasEnoughDiskSpace takes as the
//                      free space of the install drive
bool TestSeamValue(const char* name, std::string* value);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_TEST_SEAM_VALUE_H_
