#include "installer/crash/crash_seams.h"

#if defined(LITE_INSTALLER_TEST_SEAMS)
#include <cstdlib>
#include <string>

#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/test_seams.h"
#endif

namespace lite_installer {

#if defined(LITE_INSTALLER_TEST_SEAMS)
namespace {

// Volatile, so that the compiler keeps the faulting store.
int* volatile g_null_pointer = nullptr;

[[noreturn]] void WriteThroughNull() {
  *g_null_pointer = 1;
  std::abort();
}

// Each frame keeps a buffer alive across the call, so that the recursion
// is neither a loop nor a tail call.
int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (depth < 0) return 0;  // never: the depth only grows
  return Recurse(depth + 1) + frame[0];
}

HANDLE g_start = nullptr;

DWORD WINAPI CrashAtStart(void*) {
  ::WaitForSingleObject(g_start, INFINITE);
  WriteThroughNull();
}

DWORD WINAPI HoldLogMutex(void* taken) {
  std::wstring name = lite_util::LogMutexName(lite_util::GetLogFilePath());
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex) ::WaitForSingleObject(mutex, INFINITE);
  ::SetEvent(static_cast<HANDLE>(taken));
  ::Sleep(INFINITE);
  return 0;
}

}  // namespace

void ProvokeTestCrashIfAsked() {
  if (lite_util::TestSeamEnabled("crash-access-violation")) {
    LOG(INFO) << "Test seam: access violation";
    WriteThroughNull();
  }
  if (lite_util::TestSeamEnabled("crash-stack-overflow")) {
    LOG(INFO) << "Test seam: stack overflow";
    Recurse(0);
  }
  if (lite_util::TestSeamEnabled("crash-two-threads")) {
    LOG(INFO) << "Test seam: two threads crash";
    g_start = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[2];
    for (HANDLE& thread : threads)
      thread = ::CreateThread(nullptr, 0, CrashAtStart, nullptr, 0, nullptr);
    ::SetEvent(g_start);
    ::WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  }
  if (lite_util::TestSeamEnabled("crash-holding-log-mutex")) {
    LOG(INFO) << "Test seam: crash while the log mutex is held";
    HANDLE taken = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::CreateThread(nullptr, 0, HoldLogMutex, taken, 0, nullptr);
    ::WaitForSingleObject(taken, INFINITE);
    WriteThroughNull();
  }
}

DWORD CrashUploadWaitMs(DWORD default_ms) {
  std::string value;
  if (!lite_util::TestSeamValue("CRASH_UPLOAD_WAIT_MS", &value))
    return default_ms;
  return static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
}

size_t CrashDumpExtraStreamBytes() {
  std::string value;
  if (!lite_util::TestSeamValue("CRASH_DUMP_EXTRA_BYTES", &value)) return 0;
  return static_cast<size_t>(std::strtoull(value.c_str(), nullptr, 10));
}
#else
void ProvokeTestCrashIfAsked() {}
DWORD CrashUploadWaitMs(DWORD default_ms) { return default_ms; }
size_t CrashDumpExtraStreamBytes() { return 0; }
#endif

}  // namespace lite_installer
