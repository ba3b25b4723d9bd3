#include "installer/lite_util/logging/file_logger.h"

#include <openssl/md5.h>

#include <cstdio>

#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

// Per-build suffix of the log and registry names; empty in this build.
const wchar_t kInstallModeSuffix[] = L"";

bool CreateDirectoryTree(const std::wstring& dir) {
  if (dir.empty()) return true;
  DWORD attributes = ::GetFileAttributesW(dir.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t slash = dir.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) {
    std::wstring parent = dir.substr(0, slash);
    // Stop at a drive root such as "C:".
    if (!(parent.size() == 2 && parent[1] == L':') &&
        !CreateDirectoryTree(parent))
      return false;
  }
  return ::CreateDirectoryW(dir.c_str(), nullptr) ||
         ::GetLastError() == ERROR_ALREADY_EXISTS;
}

HANDLE OpenForAppend(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// snprintf into a 200-byte buffer; false when the result would not fit.
template <typename... Args>
bool FormatBounded(std::string* out, const char* format, Args... args) {
  char buffer[200];
  int n = std::snprintf(buffer, sizeof(buffer), format, args...);
  if (n < 0 || n >= static_cast<int>(sizeof(buffer))) return false;
  out->assign(buffer, n);
  return true;
}

}  // namespace

std::wstring GetLogFilePath() {
  wchar_t temp[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, temp);
  std::wstring dir;
  if (length != 0 && length < MAX_PATH) dir.assign(temp, length);
  std::wstring name = L"lite_installer" +
                      WidenBytes(NarrowLowBytes(kInstallModeSuffix)) + L".log";
  // Without a usable temporary folder there is no log: a bare name would
  // put it in whatever the working directory is.
  if (dir.empty()) return std::wstring();
  if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  return dir + name;
}

std::wstring LogMutexName(const std::wstring& log_path) {
  std::string utf8 = WideToUtf8(log_path);
  uint8_t digest[MD5_DIGEST_LENGTH];
  MD5(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), digest);
  static const char kHex[] = "0123456789ABCDEF";
  std::wstring name = L"dravenlisk log ";
  for (uint8_t byte : digest) {
    name += static_cast<wchar_t>(kHex[byte >> 4]);
    name += static_cast<wchar_t>(kHex[byte & 0xF]);
  }
  return name;
}

std::wstring OldLogFilePath(const std::wstring& log_path) {
  size_t dot = log_path.find_last_of(L'.');
  size_t slash = log_path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
    return log_path + L"_old";
  return log_path.substr(0, dot) + L"_old" + log_path.substr(dot);
}

int FileErrorFromWindowsError(DWORD error) {
  switch (error) {
    case 2: case 3:
      return -4;
    case 4:
      return -6;
    case 5: case 33:
      return -5;
    case 8: case 14:
      return -7;
    case 21: case 27: case 31: case 55: case 1117: case 1127: case 1392:
    case 1393:
      return -16;
    case 32: case 1175: case 1176: case 1177:
      return -2;
    case 39: case 112: case 314:
      return -8;
    case 80: case 183:
      return -3;
    case 1224:
      return -10;
    default:
      return -1;
  }
}

LogFileSink::LogFileSink(const std::wstring& log_path, uint32_t max_size)
    : log_path_(log_path), max_size_(max_size) {}

void LogFileSink::RotateIfNeeded(HANDLE* file, uint64_t added_length,
                                 const std::string& prefix, std::string* out) {
  if (rotation_disabled_) return;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(*file, &size)) {
    ::OutputDebugStringA("ERROR: Unable to get file length.\n");
    return;
  }
  if (static_cast<uint64_t>(size.QuadPart) + added_length < max_size_) return;

  ::CloseHandle(*file);
  *file = INVALID_HANDLE_VALUE;
  std::wstring old_path = OldLogFilePath(log_path_);
  DWORD move_error = 0;
  if (!::ReplaceFileW(old_path.c_str(), log_path_.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) &&
      !::MoveFileW(log_path_.c_str(), old_path.c_str())) {
    move_error = ::GetLastError();
  }
  *file = OpenForAppend(log_path_);
  if (*file != INVALID_HANDLE_VALUE && move_error != 0) {
    rotation_disabled_ = true;
    out->insert(0, prefix + "LOGGING: Failed to rotate log file " +
                       WideToUtf8(log_path_) + ": " +
                       std::to_string(FileErrorFromWindowsError(move_error)) +
                       "\n");
  }
}

void LogFileSink::Emit(const LogRecord& record) {
  if (log_path_.empty()) return;
  ULARGE_INTEGER t;
  t.QuadPart = static_cast<uint64_t>(record.time_us) * 10;
  FILETIME ft;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  SYSTEMTIME st = {};
  ::FileTimeToSystemTime(&ft, &st);

  std::string prefix;
  std::string suffix;
  if (!FormatBounded(&prefix, "%04d-%02d-%02d %02d:%02d:%02d.%03d %02u:%02u ",
                     st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                     st.wSecond, st.wMilliseconds,
                     static_cast<unsigned>(record.process_id),
                     static_cast<unsigned>(record.thread_id)) ||
      !FormatBounded(&suffix, " (%s:%d)",
                     record.function_name ? record.function_name : "",
                     record.line)) {
    return;
  }

  ScopedMutexHandle mutex(
      ::CreateMutexW(nullptr, FALSE, LogMutexName(log_path_).c_str()));
  DWORD wait = WAIT_FAILED;
  if (mutex.IsValid()) wait = ::WaitForSingleObject(mutex.Get(), lock_timeout_ms_);
  bool locked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  ScopedMutexRelease release(locked ? mutex.Get() : nullptr);

  size_t slash = log_path_.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0 &&
      !CreateDirectoryTree(log_path_.substr(0, slash)))
    return;

  HANDLE raw_file = OpenForAppend(log_path_);
  if (raw_file == INVALID_HANDLE_VALUE) return;

  std::string out;
  RotateIfNeeded(&raw_file, prefix.size() + record.text.size(), prefix, &out);
  ScopedFileHandle file(raw_file);
  if (!file.IsValid()) return;

  if (!locked && !lock_failure_reported_) {
    lock_failure_reported_ = true;
    out += prefix + "LOGGING: Failed to lock log file " +
           WideToUtf8(log_path_) + "\n";
  }
  if (wait == WAIT_ABANDONED) {
    out += prefix + "LOGGING: Abandoned log mutex recovered for file " +
           WideToUtf8(log_path_) + "\n";
  }
  out += prefix + LogSeverityName(record.severity) + ": " + record.text +
         suffix + "\n";
  DWORD written = 0;
  ::WriteFile(file.Get(), out.data(), static_cast<DWORD>(out.size()), &written,
              nullptr);
}

}  // namespace lite_util
