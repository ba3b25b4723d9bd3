// The installer's code names the seams of lite_util/test_seams.h unqualified.
#ifndef INSTALLER_MAIN_TEST_SEAMS_H_
#define INSTALLER_MAIN_TEST_SEAMS_H_

#include "installer/lite_util/test_seams.h"

namespace lite_installer {
using lite_util::TestSeamEnabled;
using lite_util::TestSeamValue;
}  // namespace lite_installer

#endif  // INSTALLER_MAIN_TEST_SEAMS_H_
