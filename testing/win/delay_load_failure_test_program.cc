// Calls a delay-imported function that cannot be bound, after installing the
// installer's delayed-load failure hook, so that the tests can watch what
// the hook does. Writes its log to lite_installer.log in TEMP.
// usage: delay_load_failure_test_program.exe
//            missing-library|missing-procedure|missing-ordinal|missing-user32-procedure
//            [use-user32] [ANY FURTHER ARGUMENTS, e.g. --silent]
// "use-user32" calls a user32 function through its delayed import first.
// Exit codes: those of the hook; 3 when the failing call returned, 2 for a
// bad usage.
#include <windows.h>

#include <cwchar>
#include <memory>

#include "installer/crash/crash_reporter.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/logging/file_logger.h"

// Delay-imported from nonexistent_lite_test.def and
// version_missing_procedures.def.
extern "C" int NonexistentLiteTestFunction(void);
extern "C" int NoSuchProcedureForLiteTest(void);
extern "C" int NoSuchOrdinalForLiteTest(void);
// Declared here under its own name: user32 does not export it.
extern "C" int NoSuchUser32ProcedureForLiteTest(void);

int wmain(int argc, wchar_t** argv) {
  lite_util::InstallDelayLoadFailureHook();
  if (argc < 2) return 2;
  std::unique_ptr<lite_installer::CrashReporter> crash_reporter;
  for (int i = 2; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"with-crash-reporter") == 0)
      crash_reporter.reset(new lite_installer::CrashReporter());
  }
  lite_util::SetLogSink(new lite_util::LogFileSink(
      lite_util::GetLogFilePath(), lite_util::kMaxLogFileSize));
  for (int i = 2; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"use-user32") == 0)
      ::GetSystemMetrics(SM_CXSCREEN);
  }
  const wchar_t* mode = argv[1];
  if (std::wcscmp(mode, L"missing-library") == 0)
    NonexistentLiteTestFunction();
  else if (std::wcscmp(mode, L"missing-procedure") == 0)
    NoSuchProcedureForLiteTest();
  else if (std::wcscmp(mode, L"missing-ordinal") == 0)
    NoSuchOrdinalForLiteTest();
  else if (std::wcscmp(mode, L"missing-user32-procedure") == 0)
    NoSuchUser32ProcedureForLiteTest();
  else
    return 2;
  return 3;
}
