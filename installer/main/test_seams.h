// Test seams of the installer's test build. The shipped installer is built
// without LITE_INSTALLER_TEST_SEAMS, so every seam answers false there and
// no environment is consulted. The test build reads the comma-separated
// names in the environment variable LITE_INSTALLER_TEST_SEAMS.
#ifndef INSTALLER_MAIN_TEST_SEAMS_H_
#define INSTALLER_MAIN_TEST_SEAMS_H_

namespace lite_installer {

// Seam names:
//   "no-dll-hardening"        SetSearchPathMode/SetDefaultDllDirectories
//                             look missing
//   "plant-dll-in-protected-dir"  the launching role drops a .dll beside the
//                             protected copy
//   "cpu-no-sse2", "cpu-no-sse3"  the processor feature query answers no
bool TestSeamEnabled(const char* name);

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_TEST_SEAMS_H_
