// Test seams: facts a test cannot arrange for real (missing hardening
// functions, a processor without SSE3, the free disk space) can be handed to
// the test builds of a program from outside. The shipped build is compiled
// without LITE_INSTALLER_TEST_SEAMS: there every seam answers false and no
// environment is consulted.
#ifndef INSTALLER_LITE_UTIL_TEST_SEAMS_H_
#define INSTALLER_LITE_UTIL_TEST_SEAMS_H_

#include <string>

namespace lite_util {

// True when |name| is one of the comma-separated names of the environment
// variable LITE_INSTALLER_TEST_SEAMS. Names:
//   "no-dll-hardening"            SetSearchPathMode/SetDefaultDllDirectories
//                                 look missing
//   "plant-dll-in-protected-dir"  the launching role drops a .dll beside the
//                                 protected copy
//   "cpu-no-sse2", "cpu-no-sse3"  the processor feature query answers no
//   "cryptopro-load-failure"      opening a download raises the CryptoPro
//                                 provider's missing-library exception
//   "archive-writer-between-reopens"  a writer opens the locked setup
//                                 archive between its two re-opens
//   "report-probe-apartment"      the interface probe writes the COM
//                                 apartment it runs in to the debug output
//   "token-not-in-admin-group"    the token check of the elevated relaunch
//                                 finds no Administrators group
//   "no-first-screen-background"  the main window's first-screen
//                                 background picture cannot be loaded
bool TestSeamEnabled(const char* name);

// The value of the environment variable "LITE_INSTALLER_SEAM_" + |name|.
// Names:
//   "FREE_DISK_BYTES"  decimal byte count HasEnoughDiskSpace takes as the
//                      free space of the install drive
//   "DOWNLOAD_RETRY_DELAY_MS"  the pause between setup-archive download
//                      attempts, in milliseconds
//   "VERIFY_TRUST_STATUS"  hexadecimal status that replaces WinVerifyTrust's
//                      full (not hash-only) answer in the trust verification
//   "INTERFACE_PROBE_TIMEOUT_MS"  how long the interface check waits for
//                      its probing copy (3000 ms otherwise)
//   "RUNAS_FAILURE"    "ERROR,INSTANCE": the elevated relaunch's
//                      ShellExecuteExW fails, leaving that last error and
//                      instance code (a refused prompt is "1223,0")
//   "OPEN_URL_RECORD"  a file the download error dialog and the main
//                      window's links append the address they open to
//                      instead of opening it
bool TestSeamValue(const char* name, std::string* value);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_TEST_SEAMS_H_
