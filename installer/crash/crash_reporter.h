// In-process crash reporting. The entry creates one CrashReporter as the
// first object of the run and annotates it. When the process dies of an
// unhandled exception (or of a failed delayed import), a minidump carrying
// the annotations is written to TEMP\<report id>.dmp and uploaded, gzip
// compressed, as a multipart POST to the crash-report host; a successful
// upload deletes the dump.
//
// Nothing heavy runs on the crashing thread, which may have no stack left
// or hold a lock: a reporter thread started at construction (which loads
// dbghelp and winhttp up front) writes and uploads the report while the
// crashing thread waits for it, each wait bounded. A second thread that
// crashes meanwhile waits for the first report instead of making its own.
#ifndef INSTALLER_CRASH_CRASH_REPORTER_H_
#define INSTALLER_CRASH_CRASH_REPORTER_H_

#include <windows.h>

#include <map>
#include <string>

#include "installer/crash/crash_upload_transport.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

// The keys the reporter sets itself; a distribution parameter never
// replaces them.
bool IsBuiltInCrashAnnotation(const std::string& key);

class CrashReporter {
 public:
  // How long a crashing thread waits for the dump, and then for the
  // upload, before it lets the process end anyway. Wine's dbghelp takes
  // 30-45 s for a small dump on a loaded machine.
  static constexpr DWORD kDumpWaitMs = 120000;
  static constexpr DWORD kUploadWaitMs = 60000;

  CrashReporter();
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;
  // Re-installs the previous filter and stops the reporter thread; the
  // dump file is left alone.
  ~CrashReporter();

  // Ignored when either is empty; replaces an earlier value of the key.
  void SetAnnotation(const std::string& key, const std::string& value);
  // A distribution parameter as an annotation. A parameter named like a
  // built-in annotation is logged and skipped.
  void AddDistributionParameter(const std::string& key,
                                const std::string& value);

  const std::map<std::string, std::string>& annotations() const {
    return annotations_;
  }
  const std::wstring& dump_path() const { return dump_path_; }
  bool filter_installed() const { return filter_installed_; }

  // Writes and uploads a report of a failure of the calling thread that is
  // not an exception (a failed delayed import), as if it had raised
  // |code|, and returns when the report is done or its waits ran out.
  // Does nothing when no reporter is live.
  static void ReportCurrentThreadFailure(DWORD code);

 private:
  static LONG WINAPI ExceptionFilter(EXCEPTION_POINTERS* exception);
  static DWORD WINAPI ReporterThreadMain(void* reporter);

  // Hands |exception| to the reporter thread and waits for the report.
  void ReportAndWait(EXCEPTION_POINTERS* exception);
  void RunReporterThread();
  void LoadReportingLibraries();
  bool WriteMinidump();
  bool SendReport();
  // Writes the (compressed) multipart body of the dump to |body|.
  bool WriteBody(HANDLE dump, HANDLE body, uint64_t* body_length,
                 std::string* content_type);
  bool GenerateRandom(uint8_t* bytes, size_t count);

  std::wstring dump_path_;
  lite_util::ScopedModule dbghelp_;
  void* write_dump_ = nullptr;
  GUID client_id_ = {};
  GUID report_id_ = {};
  bool upload_enabled_ = true;
  bool gzip_enabled_ = true;
  std::map<std::string, std::string> annotations_;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_ = nullptr;
  bool filter_installed_ = false;

  CrashUploadTransport transport_;
  lite_util::ScopedModule advapi32_;
  void* random_function_ = nullptr;

  lite_util::ScopedThreadHandle thread_;
  DWORD thread_id_ = 0;
  lite_util::ScopedEventHandle ready_;
  lite_util::ScopedEventHandle crashed_;
  lite_util::ScopedEventHandle dumped_;
  lite_util::ScopedEventHandle done_;
  lite_util::ScopedEventHandle quit_;
  DWORD upload_wait_ms_ = kUploadWaitMs;
  volatile LONG claimed_ = 0;
  EXCEPTION_POINTERS* exception_ = nullptr;
  DWORD exception_thread_id_ = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_CRASH_REPORTER_H_
