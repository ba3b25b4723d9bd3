#include "installer/crash/crash_reporter.h"

#include <objbase.h>
// dbghelp.h needs the declarations of windows.h first.
#include <dbghelp.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "installer/crash/annotation_stream.h"
#include "installer/crash/crash_report_query.h"
#include "installer/crash/crash_seams.h"
#include "installer/crash/gzip_writer.h"
#include "installer/crash/multipart_form.h"
#include "installer/lite_util/delay_load_hook.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/user_id.h"
#include "service_hosts.h"
#include "version.h"

namespace lite_installer {
namespace {

constexpr char kImpl[] = "Impl";
constexpr char kSendReport[] = "SendReport";
constexpr DWORD kReadyWaitMs = 30000;
constexpr DWORD kDumpPieceSize = 4096;

using MiniDumpWriteDumpFunction =
    BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                  PMINIDUMP_EXCEPTION_INFORMATION,
                  PMINIDUMP_USER_STREAM_INFORMATION,
                  PMINIDUMP_CALLBACK_INFORMATION);
// SystemFunction036 of advapi32 (RtlGenRandom).
using RandomFunction = BOOLEAN(WINAPI*)(void*, ULONG);

std::atomic<CrashReporter*> g_crash_reporter{nullptr};

const char* const kBuiltInAnnotations[] = {
    "uid", "ver", "prod", "report_id", "plat", "ptype", "gzip_enabled"};

// A GUID as 36 characters without braces; empty when the system's text
// is not 38 characters in braces.
std::string GuidTextWithoutBraces(const GUID& guid) {
  wchar_t text[64];
  int length = ::StringFromGUID2(guid, text, 64);
  // The length counts the terminating NUL.
  if (length != 39 || text[0] != L'{' || text[37] != L'}')
    return std::string();
  return lite_util::NarrowLowBytes(std::wstring(text + 1, 36));
}

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring directory(buffer, length);
  // GetTempPathW ends the folder with a backslash; the path adds its own.
  if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
  return directory;
}

class HandleDumpFileAccess : public DumpFileAccess {
 public:
  explicit HandleDumpFileAccess(HANDLE file) : file_(file) {}
  bool ReadAt(uint32_t offset, void* buffer, uint32_t size) override {
    DWORD done = 0;
    return Seek(offset) &&
           ::ReadFile(file_, buffer, size, &done, nullptr) && done == size;
  }
  bool WriteAt(uint32_t offset, const void* buffer, uint32_t size) override {
    DWORD done = 0;
    return Seek(offset) &&
           ::WriteFile(file_, buffer, size, &done, nullptr) && done == size;
  }

 private:
  bool Seek(uint32_t offset) {
    LONG high = 0;
    DWORD result = ::SetFilePointer(file_, static_cast<LONG>(offset), &high,
                                    FILE_BEGIN);
    return !(result == INVALID_SET_FILE_POINTER &&
             ::GetLastError() != NO_ERROR);
  }
  HANDLE file_;
};

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, data, piece, &written, nullptr) || written != piece)
      return false;
    data += piece;
    size -= piece;
  }
  return true;
}

// Bytes no compressor can shrink, for the test seam's further stream.
std::string IncompressibleBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 0x12345678;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace

bool IsBuiltInCrashAnnotation(const std::string& key) {
  for (const char* name : kBuiltInAnnotations) {
    if (key == name) return true;
  }
  return false;
}

CrashReporter::CrashReporter() {
  std::string uid = lite_util::GetUserIdWithoutBraces();
  if (!uid.empty() && uid[0] != '{') uid = "{" + uid + "}";
  std::wstring wide_uid = lite_util::WidenBytes(uid);
  if (uid.empty() ||
      FAILED(::CLSIDFromString(const_cast<wchar_t*>(wide_uid.c_str()),
                               &client_id_))) {
    client_id_ = GUID();
    LOG_AS(WARNING, kImpl) << "uid not found, use empty";
  }
  if (FAILED(::CoCreateGuid(&report_id_))) report_id_ = GUID();

  std::string report_id_text = GuidTextWithoutBraces(report_id_);
  SetAnnotation("uid", GuidTextWithoutBraces(client_id_));
  SetAnnotation("report_id", report_id_text);
  SetAnnotation("ver", LITE_PRODUCT_VERSION_TEXT);
  SetAnnotation("plat", "Win32");
  SetAnnotation("prod", "Kelvra");
  SetAnnotation("gzip_enabled", gzip_enabled_ ? "true" : "false");

  upload_wait_ms_ = CrashUploadWaitMs(kUploadWaitMs);
  dump_path_ = TempDirectory() + L"\\" +
               lite_util::WidenBytes(report_id_text) + L".dmp";

  ready_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  crashed_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  dumped_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  done_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  quit_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (ready_.IsValid() && crashed_.IsValid() && dumped_.IsValid() &&
      done_.IsValid() && quit_.IsValid()) {
    thread_.Set(::CreateThread(nullptr, 0, ReporterThreadMain, this, 0,
                               &thread_id_));
  }
  if (!thread_.IsValid()) {
    PLOG_AS(ERROR, kImpl) << "Can't start the crash reporter thread";
  } else if (::WaitForSingleObject(ready_.Get(), kReadyWaitMs) !=
             WAIT_OBJECT_0) {
    LOG_AS(ERROR, kImpl) << "Crash reporter thread did not get ready";
  } else if (write_dump_) {
    previous_filter_ = ::SetUnhandledExceptionFilter(ExceptionFilter);
    filter_installed_ = true;
  }
  g_crash_reporter = this;
  lite_util::SetDelayLoadFailureReporter(ReportCurrentThreadFailure);
}

CrashReporter::~CrashReporter() {
  if (filter_installed_) ::SetUnhandledExceptionFilter(previous_filter_);
  lite_util::SetDelayLoadFailureReporter(nullptr);
  g_crash_reporter = nullptr;
  if (thread_.IsValid()) {
    ::SetEvent(quit_.Get());
    // A thread still uploading a report of another thread's failure is
    // given the upload's bound, no more.
    ::WaitForSingleObject(thread_.Get(), kUploadWaitMs);
  }
}

void CrashReporter::SetAnnotation(const std::string& key,
                                  const std::string& value) {
  if (key.empty() || value.empty()) return;
  annotations_[key] = value;
}

void CrashReporter::AddDistributionParameter(const std::string& key,
                                             const std::string& value) {
  if (IsBuiltInCrashAnnotation(key)) {
    LOG_AS(WARNING, kImpl) << "Distribution parameter " << key
                           << " would replace a built-in crash annotation, "
                              "skipped";
    return;
  }
  SetAnnotation(key, value);
}

LONG WINAPI CrashReporter::ExceptionFilter(EXCEPTION_POINTERS* exception) {
  CrashReporter* reporter = g_crash_reporter;
  if (!reporter) return EXCEPTION_CONTINUE_SEARCH;
  reporter->ReportAndWait(exception);
  // What runs after this filter (the previous one, the system's default
  // handling) needs stack an overflowed thread does not have: under Wine
  // it overflows again and the process ends with code 0. End it here with
  // the code the system gives such a crash.
  if (exception && exception->ExceptionRecord &&
      exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW)
    ::TerminateProcess(::GetCurrentProcess(), EXCEPTION_STACK_OVERFLOW);
  if (reporter->previous_filter_) return reporter->previous_filter_(exception);
  return EXCEPTION_CONTINUE_SEARCH;
}

void CrashReporter::ReportCurrentThreadFailure(DWORD code) {
  CrashReporter* reporter = g_crash_reporter;
  if (!reporter || !reporter->filter_installed_) return;
  alignas(16) CONTEXT context;
  std::memset(&context, 0, sizeof(context));
  ::RtlCaptureContext(&context);
  EXCEPTION_RECORD record;
  std::memset(&record, 0, sizeof(record));
  record.ExceptionCode = code;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = __builtin_return_address(0);
  EXCEPTION_POINTERS pointers = {&record, &context};
  reporter->ReportAndWait(&pointers);
}

// Runs on the failing thread, which may have almost no stack left or hold
// any lock: it only hands over the exception and waits.
void CrashReporter::ReportAndWait(EXCEPTION_POINTERS* exception) {
  // The reporter thread's own crash cannot be reported by itself.
  if (::GetCurrentThreadId() == thread_id_ || !thread_.IsValid()) return;
  if (::InterlockedCompareExchange(&claimed_, 1, 0) != 0) {
    // Another thread's report is under way: it stands for this crash too.
    ::WaitForSingleObject(done_.Get(), kDumpWaitMs + upload_wait_ms_);
    return;
  }
  exception_ = exception;
  exception_thread_id_ = ::GetCurrentThreadId();
  ::SetEvent(crashed_.Get());
  if (::WaitForSingleObject(dumped_.Get(), kDumpWaitMs) != WAIT_OBJECT_0)
    return;
  ::WaitForSingleObject(done_.Get(), upload_wait_ms_);
}

DWORD WINAPI CrashReporter::ReporterThreadMain(void* reporter) {
  static_cast<CrashReporter*>(reporter)->RunReporterThread();
  return 0;
}

void CrashReporter::LoadReportingLibraries() {
  dbghelp_.Set(::LoadLibraryW(L"dbghelp.dll"));
  if (dbghelp_.IsValid()) {
    write_dump_ = reinterpret_cast<void*>(
        ::GetProcAddress(dbghelp_.Get(), "MiniDumpWriteDump"));
  }
  if (!write_dump_)
    PLOG_AS(ERROR, kImpl) << "MiniDumpWriteDump is not available";
  std::string diagnostic;
  if (!transport_.Load(&diagnostic)) {
    LOG_AS(ERROR, kImpl) << diagnostic;
    upload_enabled_ = false;
  }
  advapi32_.Set(::LoadLibraryW(L"advapi32.dll"));
  if (advapi32_.IsValid()) {
    random_function_ = reinterpret_cast<void*>(
        ::GetProcAddress(advapi32_.Get(), "SystemFunction036"));
  }
  if (!random_function_) {
    PLOG_AS(ERROR, kImpl) << "SystemFunction036 is not available";
    upload_enabled_ = false;
  }
}

void CrashReporter::RunReporterThread() {
  LoadReportingLibraries();
  ::SetEvent(ready_.Get());
  HANDLE events[] = {crashed_.Get(), quit_.Get()};
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
    return;
  bool dumped = WriteMinidump();
  ::SetEvent(dumped_.Get());
  if (dumped && upload_enabled_) SendReport();
  ::SetEvent(done_.Get());
}

bool CrashReporter::WriteMinidump() {
  auto write_dump = reinterpret_cast<MiniDumpWriteDumpFunction>(write_dump_);
  if (!write_dump) return false;
  lite_util::ScopedFileHandle file(
      ::CreateFileW(dump_path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    PLOG_AS(ERROR, kImpl) << "Can't create dump file " << dump_path_;
    return false;
  }
  std::string stream =
      BuildAnnotationStream(report_id_, client_id_, annotations_);
  std::string extra = IncompressibleBytes(CrashDumpExtraStreamBytes());
  MINIDUMP_USER_STREAM user_streams[2] = {};
  user_streams[0].Type = kAnnotationStreamType;
  user_streams[0].BufferSize = static_cast<ULONG>(stream.size());
  user_streams[0].Buffer = &stream[0];
  // A further stream only the test builds add (type of the last reserved
  // value, which no reader interprets).
  user_streams[1].Type = LastReservedStream;
  user_streams[1].BufferSize = static_cast<ULONG>(extra.size());
  user_streams[1].Buffer = extra.empty() ? nullptr : &extra[0];
  MINIDUMP_USER_STREAM_INFORMATION user_info = {};
  user_info.UserStreamCount = extra.empty() ? 1 : 2;
  user_info.UserStreamArray = user_streams;
  MINIDUMP_EXCEPTION_INFORMATION dump_exception = {};
  dump_exception.ThreadId = exception_thread_id_;
  dump_exception.ExceptionPointers = exception_;
  dump_exception.ClientPointers = FALSE;
  if (!write_dump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.Get(),
                  MiniDumpWithIndirectlyReferencedMemory, &dump_exception,
                  &user_info, nullptr)) {
    PLOG_AS(ERROR, kImpl) << "MiniDumpWriteDump failed";
    return false;
  }
  HandleDumpFileAccess access(file.Get());
  if (!FixUpAnnotationStream(&access,
                             static_cast<uint32_t>(annotations_.size()))) {
    LOG_AS(ERROR, kImpl) << "Can't fix up the annotations of the dump";
    return false;
  }
  return true;
}

bool CrashReporter::GenerateRandom(uint8_t* bytes, size_t count) {
  auto random = reinterpret_cast<RandomFunction>(random_function_);
  return random && random(bytes, static_cast<ULONG>(count));
}

bool CrashReporter::WriteBody(HANDLE dump, HANDLE body,
                              uint64_t* body_length,
                              std::string* content_type) {
  std::string boundary = MakeMultipartBoundary(
      [this](uint8_t* bytes, size_t count) {
        return GenerateRandom(bytes, count);
      });
  if (boundary.empty()) {
    LOG_AS(ERROR, kSendReport) << "No random bytes for the boundary";
    return false;
  }
  std::vector<std::string> warnings;
  auto uid = annotations_.find("uid");
  std::string file_name =
      (uid == annotations_.end() ? std::string() : uid->second) + ".dmp";
  std::string head =
      BuildMultipartHead(annotations_, boundary, file_name, &warnings);
  for (const std::string& warning : warnings)
    LOG_AS(WARNING, kSendReport) << warning;
  std::string tail = BuildMultipartTail(boundary);
  *content_type = MultipartContentType(boundary);

  *body_length = 0;
  auto store = [body, body_length](const char* data, size_t size) {
    if (!WriteAll(body, data, size)) return false;
    *body_length += size;
    return true;
  };
  GzipWriter gzip(store);
  auto write = [this, &gzip, &store](const char* data, size_t size) {
    return gzip_enabled_ ? gzip.Write(data, size) : store(data, size);
  };
  if (gzip_enabled_ && !gzip.Init()) {
    LOG_AS(ERROR, kSendReport) << gzip.error();
    return false;
  }
  if (!write(head.data(), head.size())) {
    LOG_AS(ERROR, kSendReport) << "Can't store the report body " << gzip.error();
    return false;
  }
  std::vector<char> piece(kDumpPieceSize);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(dump, piece.data(), kDumpPieceSize, &read, nullptr)) {
      PLOG_AS(ERROR, kSendReport) << "Can't read the dump";
      return false;
    }
    if (read == 0) break;
    if (!write(piece.data(), read)) {
      LOG_AS(ERROR, kSendReport) << "Can't store the report body "
                                 << gzip.error();
      return false;
    }
  }
  if (!write(tail.data(), tail.size()) || (gzip_enabled_ && !gzip.Finish())) {
    LOG_AS(ERROR, kSendReport) << "Can't store the report body " << gzip.error();
    return false;
  }
  return true;
}

bool CrashReporter::SendReport() {
  bool uploaded = false;
  {
    lite_util::ScopedFileHandle dump(::CreateFileW(
        dump_path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!dump.IsValid()) {
      PLOG_AS(ERROR, kSendReport) << "Can't open dump file " << dump_path_;
      return false;
    }
    // The compressed body is staged in a file of its own, so that it can
    // be sent with its length (memory stays bounded whatever the dump's
    // size); the system deletes the file when it is closed, or when the
    // process ends.
    std::wstring body_path = dump_path_ + L".upload";
    lite_util::ScopedFileHandle body(::CreateFileW(
        body_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
        nullptr));
    if (!body.IsValid()) {
      PLOG_AS(ERROR, kSendReport) << "Can't create " << body_path;
      return false;
    }
    uint64_t body_length = 0;
    std::string content_type;
    if (!WriteBody(dump.Get(), body.Get(), &body_length, &content_type))
      return false;
    if (::SetFilePointer(body.Get(), 0, nullptr, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER) {
      PLOG_AS(ERROR, kSendReport) << "Can't rewind " << body_path;
      return false;
    }
    CrashUploadTransport::Headers headers = {{"Content-Type", content_type}};
    if (gzip_enabled_) headers.emplace_back("Content-Encoding", "gzip");
    std::wstring url = lite_util::WidenBytes(
        std::string("https://") + KELVRA_CRASH_HOST + "/submit" +
        BuildCrashReportQuery(annotations_));
    std::string diagnostic;
    uploaded =
        transport_.Post(url, headers, body.Get(), body_length, &diagnostic);
    if (!uploaded) LOG_AS(ERROR, kSendReport) << diagnostic;
  }
  if (uploaded && !::DeleteFileW(dump_path_.c_str()))
    PLOG_AS(ERROR, kSendReport) << "Can't delete " << dump_path_;
  return uploaded;
}

}  // namespace lite_installer
