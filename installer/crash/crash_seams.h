// Crashes on demand and the crash reporter's adjustable bounds, for the
// test builds only. The shipped program links the build of crash_seams.cc
// without LITE_INSTALLER_TEST_SEAMS, which provokes nothing and keeps the
// defaults; it holds none of the code below.
//
// Seam names (LITE_INSTALLER_TEST_SEAMS, see lite_util/test_seams.h):
//   "crash-access-violation"   the entry writes through a null pointer
//   "crash-stack-overflow"     the entry recurses until the stack ends
//   "crash-two-threads"        two threads write through null at once
//   "crash-holding-log-mutex"  a thread takes the log file's mutex and keeps
//                              it, then the entry writes through null
// Values (LITE_INSTALLER_SEAM_<NAME>):
//   "CRASH_UPLOAD_WAIT_MS"     how long a crashing thread waits for the
//                              upload (CrashReporter::kUploadWaitMs)
//   "CRASH_DUMP_EXTRA_BYTES"   a further user stream of that many
//                              incompressible bytes in the dump
#ifndef INSTALLER_CRASH_CRASH_SEAMS_H_
#define INSTALLER_CRASH_CRASH_SEAMS_H_

#include <windows.h>

#include <cstddef>

namespace lite_installer {

// Crashes the process in the way a crash seam asks for; returns otherwise.
void ProvokeTestCrashIfAsked();

DWORD CrashUploadWaitMs(DWORD default_ms);

size_t CrashDumpExtraStreamBytes();

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_CRASH_SEAMS_H_
