#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/file_test_util.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

// ---------------------------------------------------------------------------
// Helpers

std::string ReadWholeFile(const std::wstring& path) {
  return ReadFileForTest(path);
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()),
                        &written, nullptr);
  ::CloseHandle(file);
  return ok && written == content.size();
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Lines without their "\n"; a last line without "\n" is kept as well.
std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void DeleteTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTree(path);
      else
        ::DeleteFileW(path.c_str());
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(dir.c_str());
}

int64_t FileTimeToMicroseconds(const FILETIME& ft) {
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(t.QuadPart / 10);
}

int64_t SystemTimeToMicroseconds(const SYSTEMTIME& st) {
  FILETIME ft;
  EXPECT_TRUE(::SystemTimeToFileTime(&st, &ft));
  return FileTimeToMicroseconds(ft);
}

// MD5 through CryptoAPI, independent of the logger's own digest code.
std::string Md5HexWithCryptoApi(const std::string& data) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  std::string hex;
  if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                             CRYPT_VERIFYCONTEXT) &&
      ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
      ::CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()),
                      static_cast<DWORD>(data.size()), 0)) {
    BYTE digest[16];
    DWORD size = sizeof(digest);
    if (::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
      static const char kHex[] = "0123456789ABCDEF";
      for (DWORD i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
      }
    }
  }
  if (hash) ::CryptDestroyHash(hash);
  if (provider) ::CryptReleaseContext(provider, 0);
  return hex;
}

// |text| as a regular expression that matches exactly it.
std::string RegexEscape(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"),
                            R"(\$&)");
}

// A record with fixed fields, so that the prefix is known exactly:
// "2023-05-04 10:11:12.345 1234:5678 " (34 characters).
const char kFixedPrefix[] = "2023-05-04 10:11:12.345 1234:5678 ";

LogRecord FixedRecord(const std::string& text, LogSeverity severity = LOG_INFO,
                      const char* function_name = "Func", int line = 12) {
  SYSTEMTIME st = {};
  st.wYear = 2023;
  st.wMonth = 5;
  st.wDay = 4;
  st.wHour = 10;
  st.wMinute = 11;
  st.wSecond = 12;
  st.wMilliseconds = 345;
  LogRecord record;
  record.severity = severity;
  record.function_name = function_name;
  record.line = line;
  // Sub-millisecond part that must be cut off, not rounded.
  record.time_us = SystemTimeToMicroseconds(st) + 999;
  record.process_id = 1234;
  record.thread_id = 5678;
  record.text = text;
  return record;
}

std::string FixedLine(const std::string& text, const char* severity = "INFO",
                      const char* function_name = "Func", int line = 12) {
  return std::string(kFixedPrefix) + severity + ": " + text + " (" +
         function_name + ":" + std::to_string(line) + ")\n";
}

// Holds a named mutex on a thread of its own until told to let go, or (when
// |abandon| is set) exits the thread while still owning it.
class MutexHolder {
 public:
  MutexHolder(const std::wstring& name, bool abandon)
      : name_(name), abandon_(abandon) {
    acquired_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = ::CreateThread(nullptr, 0, &MutexHolder::ThreadMain, this, 0,
                             nullptr);
  }
  ~MutexHolder() {
    ::SetEvent(release_);
    ::WaitForSingleObject(thread_, 10000);
    ::CloseHandle(thread_);
    ::CloseHandle(acquired_);
    ::CloseHandle(release_);
  }
  // True once the thread owns the mutex (or has ended while owning it).
  bool WaitUntilOwned() {
    if (::WaitForSingleObject(acquired_, 10000) != WAIT_OBJECT_0 || !owned_)
      return false;
    if (abandon_) return ::WaitForSingleObject(thread_, 10000) == WAIT_OBJECT_0;
    return true;
  }

 private:
  static DWORD WINAPI ThreadMain(void* param) {
    auto* self = static_cast<MutexHolder*>(param);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, self->name_.c_str());
    self->owned_ =
        mutex && ::WaitForSingleObject(mutex, 10000) == WAIT_OBJECT_0;
    ::SetEvent(self->acquired_);
    // Abandoning: end the thread still owning the mutex. The handle is left
    // open here so that the mutex object outlives the thread.
    if (self->abandon_) return 0;
    ::WaitForSingleObject(self->release_, INFINITE);
    if (self->owned_) ::ReleaseMutex(mutex);
    if (mutex) ::CloseHandle(mutex);
    return 0;
  }

  std::wstring name_;
  bool abandon_;
  volatile bool owned_ = false;
  HANDLE acquired_;
  HANDLE release_;
  HANDLE thread_;
};

// A fresh temporary directory per test, and a log path inside it.
class FileLoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    static int counter = 0;
    dir_ = std::wstring(temp, length);
    if (dir_.back() != L'\\') dir_ += L'\\';
    dir_ += L"lite_log_test_" + std::to_wstring(::GetCurrentProcessId()) +
            L"_" + std::to_wstring(::GetTickCount64()) + L"_" +
            std::to_wstring(++counter);
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr)) << ::GetLastError();
    log_path_ = dir_ + L"\\lite_installer.log";
    old_path_ = dir_ + L"\\lite_installer_old.log";
  }

  void TearDown() override {
    SetLogSink(nullptr);
    DeleteTree(dir_);
  }

  // Registers a sink on the test's log path and returns it (owned by the
  // process-wide slot).
  LogFileSink* RegisterSink(uint32_t max_size = kMaxLogFileSize) {
    auto* sink = new LogFileSink(log_path_, max_size);
    SetLogSink(sink);
    return sink;
  }

  std::string Log() const { return ReadWholeFile(log_path_); }
  std::string OldLog() const { return ReadWholeFile(old_path_); }
  std::string PathUtf8() const { return WideToUtf8(log_path_); }

  std::wstring dir_;
  std::wstring log_path_;
  std::wstring old_path_;
};

// The prefix of a real record: UTC time with milliseconds, pid:tid.
const char kPrefixPattern[] =
    R"((\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})\.(\d{3}) (\d{2,}):(\d{2,}) )";

// ---------------------------------------------------------------------------
// Line format

TEST_F(FileLoggerTest, LineFormatOfARealStatement) {
  RegisterSink();
  SYSTEMTIME before;
  ::GetSystemTime(&before);
  LOG(INFO) << "Lite installer mode."; const int line = __LINE__;
  SYSTEMTIME after;
  ::GetSystemTime(&after);

  std::string content = Log();
  std::smatch m;
  std::regex pattern(std::string("^") + kPrefixPattern +
                     R"(INFO: Lite installer mode\. \(TestBody:(\d+)\)\n$)");
  ASSERT_TRUE(std::regex_match(content, m, pattern)) << content;
  EXPECT_EQ(std::to_string(::GetCurrentProcessId()), m[8].str());
  EXPECT_EQ(std::to_string(::GetCurrentThreadId()), m[9].str());
  EXPECT_EQ(std::to_string(line), m[10].str());

  // The time is UTC: it lies between two readings of the system (UTC) clock.
  // (Under a host time zone of UTC local time would pass as well; run the
  // tests with another TZ to tell them apart.)
  SYSTEMTIME logged = {};
  logged.wYear = static_cast<WORD>(std::stoi(m[1]));
  logged.wMonth = static_cast<WORD>(std::stoi(m[2]));
  logged.wDay = static_cast<WORD>(std::stoi(m[3]));
  logged.wHour = static_cast<WORD>(std::stoi(m[4]));
  logged.wMinute = static_cast<WORD>(std::stoi(m[5]));
  logged.wSecond = static_cast<WORD>(std::stoi(m[6]));
  logged.wMilliseconds = static_cast<WORD>(std::stoi(m[7]));
  int64_t logged_us = SystemTimeToMicroseconds(logged);
  EXPECT_LE(SystemTimeToMicroseconds(before), logged_us);
  EXPECT_GE(SystemTimeToMicroseconds(after), logged_us);
}

TEST_F(FileLoggerTest, RecordTimeIsPrintedInUtcAndCutToMilliseconds) {
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.Emit(FixedRecord("text"));
  EXPECT_EQ(FixedLine("text"), Log());
}

TEST_F(FileLoggerTest, ProcessAndThreadIdsHaveAtLeastTwoDigits) {
  LogFileSink sink(log_path_, kMaxLogFileSize);
  LogRecord record = FixedRecord("small");
  record.process_id = 3;
  record.thread_id = 0;
  sink.Emit(record);
  record.process_id = 4294967295u;
  record.thread_id = 1234567;
  record.text = "large";
  sink.Emit(record);
  EXPECT_EQ(
      "2023-05-04 10:11:12.345 03:00 INFO: small (Func:12)\n"
      "2023-05-04 10:11:12.345 4294967295:1234567 INFO: large (Func:12)\n",
      Log());
}

TEST_F(FileLoggerTest, EmptyTextLeavesTwoSpacesBeforeTheSuffix) {
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.Emit(FixedRecord(""));
  EXPECT_EQ(std::string(kFixedPrefix) + "INFO:  (Func:12)\n", Log());
}

TEST_F(FileLoggerTest, SeverityNames) {
  EXPECT_EQ(1, LOG_ERROR);
  EXPECT_EQ(2, LOG_WARNING);
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.Emit(FixedRecord("i", LOG_INFO));
  sink.Emit(FixedRecord("e", LOG_ERROR));
  sink.Emit(FixedRecord("w", LOG_WARNING));
  EXPECT_EQ(FixedLine("i", "INFO") + FixedLine("e", "ERROR") +
                FixedLine("w", "WARNING"),
            Log());

  // The same names through the statement macros.
  RegisterSink();
  LOG(ERROR) << "bad";
  LOG(WARNING) << "odd";
  std::vector<std::string> lines = SplitLines(Log());
  ASSERT_EQ(5u, lines.size());
  EXPECT_NE(std::string::npos, lines[3].find(" ERROR: bad (TestBody:"));
  EXPECT_NE(std::string::npos, lines[4].find(" WARNING: odd (TestBody:"));
}

TEST_F(FileLoggerTest, NonAsciiTextIsWrittenAsUtf8) {
  RegisterSink();
  LOG(INFO) << L"Temporary path is: C:\\\x4E2D\x6587\\" << " " << -42 << " "
            << 4294967295u << ' ' << std::wstring(L"\xD83D\xDE00");
  std::string content = Log();
  EXPECT_NE(std::string::npos,
            content.find("INFO: Temporary path is: C:\\\xE4\xB8\xAD\xE6\x96\x87"
                         "\\ -42 4294967295 \xF0\x9F\x98\x80 (TestBody:"))
      << content;
}

// ---------------------------------------------------------------------------
// Error statements and error descriptions

TEST_F(FileLoggerTest, ErrorStatementAppendsTheDescription) {
  RegisterSink();
  const std::string description = DescribeWindowsError(2);
  ELOG(ERROR, 2) << "Failed to read value"; const int line1 = __LINE__;
  ELOG(WARNING, 2); const int line2 = __LINE__;
  ::SetLastError(5);
  PLOG(ERROR) << "Access"; const int line3 = __LINE__;

  std::string content = Log();
  std::regex pattern(
      std::string("^") + kPrefixPattern + "ERROR: Failed to read value - " +
      RegexEscape(description) +
      " \\(TestBody:" + std::to_string(line1) + "\\)\n");
  EXPECT_TRUE(std::regex_search(content, pattern)) << content;
  // The description alone when the statement has no text.
  EXPECT_NE(std::string::npos,
            content.find("WARNING: " + description + " (TestBody:" +
                         std::to_string(line2) + ")\n"));
  EXPECT_NE(std::string::npos,
            content.find("ERROR: Access - " + DescribeWindowsError(5) +
                         " (TestBody:" + std::to_string(line3) + ")\n"));
  // The system text ends in a line break, so the suffix starts a new
  // physical line.
  std::vector<std::string> lines = SplitLines(content);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(" (TestBody:" + std::to_string(line1) + ")", lines[1]);
}

TEST(DescribeWindowsErrorTest, SystemMessage) {
  std::string text = DescribeWindowsError(ERROR_FILE_NOT_FOUND);
  ASSERT_GT(text.size(), 5u);
  EXPECT_EQ("2, ", text.substr(0, 3));
  EXPECT_EQ("\r\n", text.substr(text.size() - 2));
  // The message is the system's own English text.
  wchar_t buffer[1024];
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2,
      0x409, buffer, 1024, nullptr);
  ASSERT_GT(length, 0u);
  EXPECT_EQ("2, " + WideToUtf8(std::wstring(buffer, length)), text);
  EXPECT_NE(DescribeWindowsError(5), DescribeWindowsError(2));
  EXPECT_EQ("5, ", DescribeWindowsError(5).substr(0, 3));
}

TEST(DescribeWindowsErrorTest, KeepsTheLastError) {
  for (DWORD error : {2ul, 12007ul, 0xDEADBEEFul}) {
    ::SetLastError(4321);
    DescribeWindowsError(error);
    EXPECT_EQ(4321u, ::GetLastError()) << error;
  }
}

TEST(DescribeWindowsErrorTest, UnknownCodes) {
  EXPECT_EQ("3735928559, unknown error 0xdeadbeef\n",
            DescribeWindowsError(0xDEADBEEF));
  EXPECT_EQ("536875521, unknown error 0x20001201\n",
            DescribeWindowsError(0x20001201));
}

TEST(DescribeWindowsErrorTest, NetworkLibrariesAreNotLoadedForIt) {
  const bool wininet_loaded = ::GetModuleHandleW(L"wininet.dll") != nullptr;
  const bool urlmon_loaded = ::GetModuleHandleW(L"urlmon.dll") != nullptr;
  DescribeWindowsError(12007);  // ERROR_INTERNET_NAME_NOT_RESOLVED
  EXPECT_EQ(wininet_loaded, ::GetModuleHandleW(L"wininet.dll") != nullptr);
  EXPECT_EQ(urlmon_loaded, ::GetModuleHandleW(L"urlmon.dll") != nullptr);
}

TEST(DescribeWindowsErrorTest, NetworkErrorsFromWininetOnceLoaded) {
  HMODULE wininet = ::LoadLibraryW(L"wininet.dll");
  ASSERT_NE(nullptr, wininet);
  wchar_t buffer[1024];
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet,
      12007, 0x409, buffer, 1024, nullptr);
  ASSERT_GT(length, 0u);
  EXPECT_EQ("12007, " + WideToUtf8(std::wstring(buffer, length)),
            DescribeWindowsError(12007));
  ::FreeLibrary(wininet);
}

TEST_F(FileLoggerTest, LoggingKeepsTheLastError) {
  RegisterSink();
  // Plain statements, error statements and an unknown code, which the
  // system fails to describe.
  for (DWORD error : {0ul, 2ul, 1234ul, 0x20001201ul}) {
    SCOPED_TRACE(error);
    ::SetLastError(error);
    LOG(INFO) << "x";
    EXPECT_EQ(error, ::GetLastError());
    PLOG(ERROR) << "y";
    EXPECT_EQ(error, ::GetLastError());
    ELOG(WARNING, 0xDEADBEEF) << "z";
    EXPECT_EQ(error, ::GetLastError());
  }
  // Also when nothing can be written.
  SetLogSink(new LogFileSink(dir_ + L"\\missing\\<>|\\x.log", kMaxLogFileSize));
  ::SetLastError(77);
  LOG(INFO) << "lost";
  EXPECT_EQ(77u, ::GetLastError());
}

// ---------------------------------------------------------------------------
// Statements and the sink slot

class RecordingSink : public LogSink {
 public:
  RecordingSink(std::vector<LogRecord>* records, bool* destroyed)
      : records_(records), destroyed_(destroyed) {}
  ~RecordingSink() override { *destroyed_ = true; }
  void Emit(const LogRecord& record) override { records_->push_back(record); }

 private:
  std::vector<LogRecord>* records_;
  bool* destroyed_;
};

class LogStatementTest : public testing::Test {
 protected:
  void SetUp() override { SetLogSink(new RecordingSink(&records_, &destroyed_)); }
  void TearDown() override { SetLogSink(nullptr); }

  std::vector<LogRecord> records_;
  bool destroyed_ = false;
  std::vector<LogRecord> second_records_;
  bool second_destroyed_ = false;
};

TEST_F(LogStatementTest, RecordFields) {
  FILETIME before;
  ::GetSystemTimeAsFileTime(&before);
  const int line = __LINE__ + 1;
  LOG(WARNING) << "n=" << 5 << ", u=" << 7u << ", l=" << -9000000000LL
               << ", c=" << 'q' << ", w=" << L"\xE9" << ", s="
               << std::string("str") << std::wstring(L"\x4E2D")
               << static_cast<const char*>(nullptr)
               << static_cast<const wchar_t*>(nullptr);
  FILETIME after;
  ::GetSystemTimeAsFileTime(&after);
  LOG_AS(INFO, "wWinMain") << "as";

  ASSERT_EQ(2u, records_.size());
  EXPECT_EQ(LOG_WARNING, records_[0].severity);
  EXPECT_STREQ("TestBody", records_[0].function_name);
  EXPECT_EQ(line, records_[0].line);
  EXPECT_EQ("n=5, u=7, l=-9000000000, c=q, w=\xC3\xA9, s=str\xE4\xB8\xAD",
            records_[0].text);
  EXPECT_EQ(::GetCurrentProcessId(), records_[0].process_id);
  EXPECT_EQ(::GetCurrentThreadId(), records_[0].thread_id);
  EXPECT_LE(FileTimeToMicroseconds(before), records_[0].time_us);
  EXPECT_GE(FileTimeToMicroseconds(after), records_[0].time_us);
  EXPECT_STREQ("wWinMain", records_[1].function_name);
  EXPECT_EQ(LOG_INFO, records_[1].severity);
  EXPECT_EQ("as", records_[1].text);
}

TEST_F(LogStatementTest, TimeIsTakenWhenTheStatementStarts) {
  FILETIME before;
  ::GetSystemTimeAsFileTime(&before);
  {
    LogStatement statement(LOG_INFO, "F", 1);
    ::Sleep(300);
    statement << "late text";
  }
  ASSERT_EQ(1u, records_.size());
  EXPECT_LT(records_[0].time_us, FileTimeToMicroseconds(before) + 200000);
}

TEST_F(LogStatementTest, SinkSlotOwnsItsSink) {
  // Replacing the sink destroys the previous one; records go to the new one.
  SetLogSink(new RecordingSink(&second_records_, &second_destroyed_));
  EXPECT_TRUE(destroyed_);
  LOG(INFO) << "to second";
  EXPECT_TRUE(records_.empty());
  ASSERT_EQ(1u, second_records_.size());

  // With no sink the record is dropped quietly.
  SetLogSink(nullptr);
  EXPECT_TRUE(second_destroyed_);
  LOG(ERROR) << "nowhere";
  EXPECT_EQ(1u, second_records_.size());
}

TEST_F(LogStatementTest, ErrorStatementText) {
  ErrorLogStatement(LOG_ERROR, "F", 1, "desc") << "text";
  ErrorLogStatement(LOG_ERROR, "F", 2, "desc");
  ErrorLogStatement(LOG_ERROR, "F", 3, "");
  ASSERT_EQ(3u, records_.size());
  EXPECT_EQ("text - desc", records_[0].text);
  EXPECT_EQ("desc", records_[1].text);
  EXPECT_EQ("", records_[2].text);
  EXPECT_EQ(LOG_ERROR, records_[0].severity);
}

// ---------------------------------------------------------------------------
// Names and paths

TEST(LogMutexNameTest, Md5OfTheUtf8Path) {
  // MD5("abc") is a published test vector.
  EXPECT_EQ(L"dravenlisk log 900150983CD24FB0D6963F7D28E17F72",
            LogMutexName(L"abc"));
  EXPECT_EQ(L"dravenlisk log D41D8CD98F00B204E9800998ECF8427E",
            LogMutexName(L""));
  // A non-ASCII path is hashed as UTF-8, checked against CryptoAPI.
  const std::wstring path =
      L"C:\\users\\\x4E2D\x6587\xE9\\Temp\\lite_installer.log";
  std::string expected_hex = Md5HexWithCryptoApi(WideToUtf8(path));
  ASSERT_EQ(32u, expected_hex.size());
  EXPECT_EQ(L"dravenlisk log " + WidenBytes(expected_hex), LogMutexName(path));
}

TEST(LogMutexNameTest, DependsOnlyOnThePath) {
  const std::wstring a = L"C:\\temp\\lite_installer.log";
  EXPECT_EQ(LogMutexName(a), LogMutexName(std::wstring(a)));
  EXPECT_NE(LogMutexName(a), LogMutexName(L"C:\\temp\\lite_installer_old.log"));
  EXPECT_NE(LogMutexName(a), LogMutexName(L"C:\\TEMP\\lite_installer.log"));
  EXPECT_NE(LogMutexName(a), LogMutexName(L"D:\\temp\\lite_installer.log"));
  // Name length: the fixed text and 32 hex digits.
  EXPECT_EQ(15u + 32u, LogMutexName(a).size());
}

TEST(OldLogFilePathTest, InsertsOldBeforeTheExtension) {
  EXPECT_EQ(L"C:\\Temp\\lite_installer_old.log",
            OldLogFilePath(L"C:\\Temp\\lite_installer.log"));
  EXPECT_EQ(L"lite_installer_old.log", OldLogFilePath(L"lite_installer.log"));
  EXPECT_EQ(L"C:\\a.b\\log.1_old.txt", OldLogFilePath(L"C:\\a.b\\log.1.txt"));
  // No extension in the file name: the dot of a directory does not count.
  EXPECT_EQ(L"C:\\a.b\\log_old", OldLogFilePath(L"C:\\a.b\\log"));
  EXPECT_EQ(L"C:/a.b/log_old", OldLogFilePath(L"C:/a.b/log"));
}

TEST(GetLogFilePathTest, LiteInstallerLogInTheTemporaryFolder) {
  wchar_t temp[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, temp);
  ASSERT_GT(length, 0u);
  std::wstring dir(temp, length);
  if (dir.back() != L'\\') dir += L'\\';
  EXPECT_EQ(dir + L"lite_installer.log", GetLogFilePath());
}

TEST(GetLogFilePathTest, NoTemporaryFolderNoLogAnywhere) {
  // TEMP and TMP longer than MAX_PATH: GetTempPathW cannot answer.
  wchar_t saved_temp[4096] = {};
  wchar_t saved_tmp[4096] = {};
  DWORD temp_length = ::GetEnvironmentVariableW(L"TEMP", saved_temp, 4096);
  DWORD tmp_length = ::GetEnvironmentVariableW(L"TMP", saved_tmp, 4096);
  const std::wstring long_dir = L"C:\\" + std::wstring(300, L'x');
  ::SetEnvironmentVariableW(L"TEMP", long_dir.c_str());
  ::SetEnvironmentVariableW(L"TMP", long_dir.c_str());
  std::wstring path = GetLogFilePath();
  ::SetEnvironmentVariableW(L"TEMP", temp_length ? saved_temp : nullptr);
  ::SetEnvironmentVariableW(L"TMP", tmp_length ? saved_tmp : nullptr);
  EXPECT_EQ(L"", path);

  // A sink without a path writes nothing, not even into the working
  // directory (here an empty folder of its own).
  wchar_t cwd[MAX_PATH];
  ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, cwd));
  wchar_t temp[MAX_PATH];
  ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
  const std::wstring folder = std::wstring(temp) + L"lite_no_log_test";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
  {
    LogFileSink sink(L"", kMaxLogFileSize);
    LogRecord record;
    record.text = "nowhere";
    sink.Emit(record);
  }
  ::SetCurrentDirectoryW(cwd);
  // RemoveDirectoryW refuses a folder that is not empty.
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

TEST(FileErrorFromWindowsErrorTest, Classification) {
  const std::map<int, std::vector<DWORD>> kTable = {
      {-4, {2, 3}},
      {-6, {4}},
      {-5, {5, 33}},
      {-7, {8, 14}},
      {-16, {21, 27, 31, 55, 1117, 1127, 1392, 1393}},
      {-2, {32, 1175, 1176, 1177}},
      {-8, {39, 112, 314}},
      {-3, {80, 183}},
      {-10, {1224}},
      {-1, {0, 1, 6, 13, 20, 22, 34, 81, 182, 184, 313, 315, 1174, 1178, 1223,
            1225, 0xFFFFFFFF}},
  };
  for (const auto& entry : kTable) {
    for (DWORD error : entry.second) {
      EXPECT_EQ(entry.first, FileErrorFromWindowsError(error)) << error;
    }
  }
}

// ---------------------------------------------------------------------------
// Directories and dropped records

TEST_F(FileLoggerTest, MissingDirectoryTreeIsCreated) {
  std::wstring deep = dir_ + L"\\a\\b\\c\\lite_installer.log";
  SetLogSink(new LogFileSink(deep, kMaxLogFileSize));
  LOG(INFO) << "deep";
  std::vector<std::string> lines = SplitLines(ReadWholeFile(deep));
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("INFO: deep (TestBody:"));
}

TEST_F(FileLoggerTest, UncreatableDirectoryLosesTheRecordQuietly) {
  // A file stands where a directory would have to be created.
  ASSERT_TRUE(WriteWholeFile(dir_ + L"\\blocker", "x"));
  std::wstring blocked = dir_ + L"\\blocker\\sub\\lite_installer.log";
  LogFileSink sink(blocked, kMaxLogFileSize);
  sink.Emit(FixedRecord("lost"));
  EXPECT_FALSE(FileExists(blocked));
  EXPECT_EQ("x", ReadWholeFile(dir_ + L"\\blocker"));
  // The mutex was released: another sink on the path can still lock it.
  LogFileSink good(log_path_, kMaxLogFileSize);
  good.Emit(FixedRecord("kept"));
  EXPECT_EQ(FixedLine("kept"), Log());
}

TEST_F(FileLoggerTest, TooLongSuffixDropsTheRecord) {
  LogFileSink sink(log_path_, kMaxLogFileSize);
  // " (" + name + ":7)" is the name plus 5 characters; 199 fit, 200 do not.
  std::string fits(194, 'f');
  std::string too_long(195, 'g');
  std::string far_too_long(400, 'h');
  sink.Emit(FixedRecord("dropped", LOG_INFO, too_long.c_str(), 7));
  EXPECT_FALSE(FileExists(log_path_));
  sink.Emit(FixedRecord("dropped", LOG_INFO, far_too_long.c_str(), 7));
  sink.Emit(FixedRecord("kept", LOG_INFO, fits.c_str(), 7));
  EXPECT_EQ(FixedLine("kept", "INFO", fits.c_str(), 7), Log());
}

TEST_F(FileLoggerTest, DroppedRecordDoesNotWaitForTheMutex) {
  MutexHolder holder(LogMutexName(log_path_), /*abandon=*/false);
  ASSERT_TRUE(holder.WaitUntilOwned());
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.set_lock_timeout_ms(3000);
  std::string long_name(300, 'n');
  ULONGLONG start = ::GetTickCount64();
  sink.Emit(FixedRecord("dropped", LOG_INFO, long_name.c_str()));
  EXPECT_LT(::GetTickCount64() - start, 1500u);
  EXPECT_FALSE(FileExists(log_path_));
}

// ---------------------------------------------------------------------------
// Rotation

TEST_F(FileLoggerTest, FullLogIsRotatedByTheNextRecord) {
  const std::string full(kMaxLogFileSize, 'x');
  ASSERT_TRUE(WriteWholeFile(log_path_, full));
  RegisterSink();
  LOG(INFO) << "first of the new file";
  EXPECT_EQ(full, OldLog());
  std::vector<std::string> lines = SplitLines(Log());
  ASSERT_EQ(1u, lines.size());
  EXPECT_NE(std::string::npos,
            lines[0].find(" INFO: first of the new file (TestBody:"));
  LOG(INFO) << "second";
  EXPECT_EQ(2u, SplitLines(Log()).size());
  EXPECT_EQ(full, OldLog());
}

TEST_F(FileLoggerTest, LargerThanFullLogIsRotated) {
  const std::string big(kMaxLogFileSize + 12345, 'y');
  ASSERT_TRUE(WriteWholeFile(log_path_, big));
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.Emit(FixedRecord("after"));
  EXPECT_EQ(big, OldLog());
  EXPECT_EQ(FixedLine("after"), Log());
}

TEST_F(FileLoggerTest, SecondRotationReplacesTheOldFile) {
  const uint32_t kMax = 4096;
  LogFileSink sink(log_path_, kMax);
  ASSERT_TRUE(WriteWholeFile(log_path_, std::string(kMax, '1')));
  sink.Emit(FixedRecord("gen2"));
  EXPECT_EQ(std::string(kMax, '1'), OldLog());
  EXPECT_EQ(FixedLine("gen2"), Log());

  // Fill the new generation through the logger itself, staying clear of
  // the threshold.
  std::string expected_second = FixedLine("gen2");
  int n = 0;
  while (expected_second.size() + 200 < kMax) {
    std::string text = "line " + std::to_string(n++) + std::string(40, '-');
    sink.Emit(FixedRecord(text));
    expected_second += FixedLine(text);
  }
  ASSERT_EQ(expected_second, Log());
  // The next records cross the threshold; the second generation moves to the
  // old file, replacing the first.
  std::string overflow(200, 'o');
  sink.Emit(FixedRecord(overflow));
  EXPECT_EQ(expected_second, OldLog());
  EXPECT_EQ(FixedLine(overflow), Log());

  // Only the log and one old generation exist.
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((dir_ + L"\\*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(data.cFileName);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  EXPECT_EQ(2u, names.size());
}

TEST_F(FileLoggerTest, ThresholdCountsPrefixAndTextOnly) {
  // Prefix (34) + text (10) = 44: with max 1000 an existing file of 956
  // bytes rotates, one of 955 does not, whatever the severity name and the
  // suffix add.
  const uint32_t kMax = 1000;
  const std::string text(10, 't');
  const std::string long_name(150, 'F');
  ASSERT_EQ(34u, std::string(kFixedPrefix).size());

  ASSERT_TRUE(WriteWholeFile(log_path_, std::string(955, 'a')));
  {
    LogFileSink sink(log_path_, kMax);
    sink.Emit(FixedRecord(text, LOG_WARNING, long_name.c_str()));
  }
  EXPECT_FALSE(FileExists(old_path_));
  EXPECT_EQ(std::string(955, 'a') +
                FixedLine(text, "WARNING", long_name.c_str()),
            Log());

  ASSERT_TRUE(WriteWholeFile(log_path_, std::string(956, 'b')));
  {
    LogFileSink sink(log_path_, kMax);
    sink.Emit(FixedRecord(text));
  }
  EXPECT_EQ(std::string(956, 'b'), OldLog());
  EXPECT_EQ(FixedLine(text), Log());
}

TEST_F(FileLoggerTest, ThresholdIncludesTheNewRecord) {
  // An empty log and one record longer than the maximum: the empty file is
  // moved aside and the record starts a new one.
  LogFileSink sink(log_path_, 100);
  std::string text(80, 'r');
  sink.Emit(FixedRecord(text));
  EXPECT_TRUE(FileExists(old_path_));
  EXPECT_EQ("", OldLog());
  EXPECT_EQ(FixedLine(text), Log());
}

// The rotation move fails while another program holds the log open without
// sharing delete access (as a viewer may): a sharing violation, -2.
TEST_F(FileLoggerTest, FailedRotationIsReportedOnceAndTheLogGrows) {
  const uint32_t kMax = 1000;
  const std::string start(kMax, 's');
  ASSERT_TRUE(WriteWholeFile(log_path_, start));
  HANDLE viewer = ::CreateFileW(log_path_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, viewer);

  LogFileSink sink(log_path_, kMax);
  sink.Emit(FixedRecord("one"));
  // Rotation stays off for this sink even once the move would work.
  ::CloseHandle(viewer);
  sink.Emit(FixedRecord("two"));
  sink.Emit(FixedRecord("three"));

  EXPECT_FALSE(FileExists(old_path_));
  const std::string notice = std::string(kFixedPrefix) +
                             "LOGGING: Failed to rotate log file " +
                             PathUtf8() + ": -2\n";
  EXPECT_EQ(start + notice + FixedLine("one") + FixedLine("two") +
                FixedLine("three"),
            Log());

  // A new sink (a new process) tries again, and succeeds.
  LogFileSink next(log_path_, kMax);
  next.Emit(FixedRecord("four"));
  EXPECT_EQ(start + notice + FixedLine("one") + FixedLine("two") +
                FixedLine("three"),
            OldLog());
  EXPECT_EQ(FixedLine("four"), Log());
}

// An old file that cannot be replaced (held open by another program) makes
// the fallback move fail because the target exists: -3.
TEST_F(FileLoggerTest, FailedRotationCodeOfAnOldFileInTheWay) {
  ASSERT_TRUE(WriteWholeFile(old_path_, "previous generation"));
  HANDLE holder = ::CreateFileW(old_path_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  ASSERT_TRUE(WriteWholeFile(log_path_, std::string(200, 'z')));

  LogFileSink sink(log_path_, 100);
  sink.Emit(FixedRecord("r"));
  ::CloseHandle(holder);
  EXPECT_EQ(std::string(200, 'z') + kFixedPrefix +
                "LOGGING: Failed to rotate log file " + PathUtf8() + ": -3\n" +
                FixedLine("r"),
            Log());
  EXPECT_EQ("previous generation", OldLog());
}

// ---------------------------------------------------------------------------
// Locking

TEST_F(FileLoggerTest, LockFailureIsReportedOncePerSinkAndRecordsAreKept) {
  MutexHolder holder(LogMutexName(log_path_), /*abandon=*/false);
  ASSERT_TRUE(holder.WaitUntilOwned());

  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.set_lock_timeout_ms(50);
  sink.Emit(FixedRecord("one"));
  sink.Emit(FixedRecord("two"));
  sink.Emit(FixedRecord("three"));
  const std::string notice = std::string(kFixedPrefix) +
                             "LOGGING: Failed to lock log file " + PathUtf8() +
                             "\n";
  EXPECT_EQ(notice + FixedLine("one") + FixedLine("two") + FixedLine("three"),
            Log());

  // Another sink (as in another process) reports it once for itself.
  LogFileSink other(log_path_, kMaxLogFileSize);
  other.set_lock_timeout_ms(50);
  other.Emit(FixedRecord("four"));
  other.Emit(FixedRecord("five"));
  EXPECT_EQ(notice + FixedLine("one") + FixedLine("two") + FixedLine("three") +
                notice + FixedLine("four") + FixedLine("five"),
            Log());
}

DWORD WINAPI ReleaseAfterPause(void* holder) {
  ::Sleep(200);
  delete static_cast<MutexHolder*>(holder);
  return 0;
}

TEST_F(FileLoggerTest, RecordWaitsForTheMutexHeldElsewhere) {
  // Within the time-out the record waits and takes the lock: no notice.
  auto* holder = new MutexHolder(LogMutexName(log_path_), /*abandon=*/false);
  ASSERT_TRUE(holder->WaitUntilOwned());
  HANDLE releaser =
      ::CreateThread(nullptr, 0, &ReleaseAfterPause, holder, 0, nullptr);
  ASSERT_NE(nullptr, releaser);
  LogFileSink sink(log_path_, kMaxLogFileSize);
  sink.set_lock_timeout_ms(5000);
  ULONGLONG start = ::GetTickCount64();
  sink.Emit(FixedRecord("waited"));
  EXPECT_GE(::GetTickCount64() - start, 100u);
  ::WaitForSingleObject(releaser, 10000);
  ::CloseHandle(releaser);
  EXPECT_EQ(FixedLine("waited"), Log());
}

TEST_F(FileLoggerTest, AbandonedMutexIsRecovered) {
  // Keep the mutex object alive after its owner is gone.
  HANDLE keep = ::CreateMutexW(nullptr, FALSE, LogMutexName(log_path_).c_str());
  ASSERT_NE(nullptr, keep);
  {
    MutexHolder holder(LogMutexName(log_path_), /*abandon=*/true);
    ASSERT_TRUE(holder.WaitUntilOwned());
  }
  RegisterSink();
  LOG(INFO) << "after crash";
  LOG(INFO) << "normal again";
  std::vector<std::string> lines = SplitLines(Log());
  ASSERT_EQ(3u, lines.size()) << Log();
  std::regex notice(std::string("^") + kPrefixPattern +
                    "LOGGING: Abandoned log mutex recovered for file " +
                    RegexEscape(PathUtf8()) +
                    "$");
  EXPECT_TRUE(std::regex_match(lines[0], notice)) << lines[0];
  EXPECT_NE(std::string::npos, lines[1].find("INFO: after crash (TestBody:"));
  EXPECT_NE(std::string::npos, lines[2].find("INFO: normal again (TestBody:"));
  // The notice carries the record's own prefix.
  EXPECT_EQ(lines[0].substr(0, lines[0].find("LOGGING:")),
            lines[1].substr(0, lines[1].find("INFO:")));
  // The mutex was released: it can be taken at once.
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(keep, 0));
  ::ReleaseMutex(keep);
  ::CloseHandle(keep);
}

constexpr int kRecordsPerThread = 200;

DWORD WINAPI LogFromThread(void* param) {
  int id = *static_cast<int*>(param);
  for (int n = 0; n < kRecordsPerThread; ++n)
    LOG(INFO) << "thread " << id << " record " << n << " "
              << std::string(50 + n % 30, '.');
  return 0;
}

TEST_F(FileLoggerTest, ManyThreadsWriteWholeLines) {
  RegisterSink(64 * 1024);
  const int kThreads = 4;
  static int ids[kThreads];
  HANDLE threads[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    ids[t] = t;
    threads[t] = ::CreateThread(nullptr, 0, &LogFromThread, &ids[t], 0, nullptr);
    ASSERT_NE(nullptr, threads[t]);
  }
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
            ::WaitForMultipleObjects(kThreads, threads, TRUE, 60000));
  for (HANDLE h : threads) ::CloseHandle(h);

  std::string content = OldLog() + Log();
  std::regex pattern(std::string("^") + kPrefixPattern +
                     R"(INFO: thread (\d) record (\d+) \.+ \(LogFromThread:\d+\)$)");
  std::map<std::pair<int, int>, int> seen;
  for (const std::string& line : SplitLines(content)) {
    std::smatch m;
    if (!std::regex_match(line, m, pattern)) {
      ADD_FAILURE() << "malformed line: " << line;
      continue;
    }
    ++seen[{std::stoi(m[10]), std::stoi(m[11])}];
  }
  // 64 KiB holds only part of the output; what remains must be complete.
  EXPECT_GT(seen.size(), 0u);
  for (const auto& entry : seen) EXPECT_EQ(1, entry.second);
}

// ---------------------------------------------------------------------------
// Several processes on one file

std::string WriterPadding(int writer_id, int line) {
  // Kept in step with log_writer_for_test.cc.
  size_t length = static_cast<size_t>((line * 37 + writer_id * 11) % 151);
  return std::string(length, static_cast<char>('a' + writer_id % 26));
}

TEST_F(FileLoggerTest, SeveralProcessesShareTheLog) {
  wchar_t module[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  std::wstring writer(module, length);
  writer = writer.substr(0, writer.find_last_of(L"\\/") + 1) + L"log_writer.exe";
  ASSERT_TRUE(FileExists(writer)) << WideToUtf8(writer);

  // 4 x 2000 records of 70 to 220 bytes: about 1.2 MB, so one rotation and
  // only one old generation.
  const int kWriters = 4;
  const int kCount = 2000;
  std::vector<PROCESS_INFORMATION> processes;
  for (int id = 1; id <= kWriters; ++id) {
    std::wstring command = L"\"" + writer + L"\" \"" + log_path_ + L"\" " +
                           std::to_wstring(id) + L" " + std::to_wstring(kCount);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(writer.c_str(), &command[0], nullptr, nullptr, FALSE,
                          CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
      ADD_FAILURE() << "CreateProcessW: " << ::GetLastError();
      for (const auto& started : processes) {
        ::TerminateProcess(started.hProcess, 99);
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
      }
      return;
    }
    processes.push_back(pi);
  }
  // Start them together.
  for (const auto& pi : processes) ::ResumeThread(pi.hThread);
  std::vector<HANDLE> handles;
  for (const auto& pi : processes) handles.push_back(pi.hProcess);
  DWORD wait = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                        handles.data(), TRUE, 240000);
  for (const auto& pi : processes) {
    if (wait != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 99);
    DWORD exit_code = 99;
    ::GetExitCodeProcess(pi.hProcess, &exit_code);
    EXPECT_EQ(0u, exit_code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), wait);

  const std::string old_content = OldLog();
  const std::string content = Log();
  EXPECT_FALSE(old_content.empty()) << "no rotation happened";
  EXPECT_LT(content.size(), static_cast<size_t>(kMaxLogFileSize));
  EXPECT_LT(old_content.size(), static_cast<size_t>(kMaxLogFileSize) + 1024);
  ASSERT_EQ('\n', content.back());
  ASSERT_EQ('\n', old_content.back());

  std::regex pattern(std::string("^") + kPrefixPattern +
                     R"(INFO: writer (\d+) line (\d+) ([a-z]*) \(main:\d+\)$)");
  std::map<std::pair<int, int>, int> seen;
  std::map<int, int> last_line;
  std::map<int, std::string> pid_of_writer;
  size_t malformed = 0;
  for (const std::string& line : SplitLines(old_content + content)) {
    std::smatch m;
    if (!std::regex_match(line, m, pattern)) {
      if (++malformed <= 5) ADD_FAILURE() << "malformed line: " << line;
      continue;
    }
    int id = std::stoi(m[10]);
    int n = std::stoi(m[11]);
    EXPECT_EQ(WriterPadding(id, n), m[12].str()) << line;
    // One process per writer; its records appear in the order written.
    if (pid_of_writer.count(id)) {
      EXPECT_EQ(pid_of_writer[id], m[8].str()) << line;
    } else {
      pid_of_writer[id] = m[8].str();
    }
    auto it = last_line.find(id);
    if (it != last_line.end()) {
      EXPECT_LT(it->second, n) << line;
    }
    last_line[id] = n;
    ++seen[{id, n}];
  }
  EXPECT_EQ(0u, malformed);
  for (int id = 1; id <= kWriters; ++id) {
    for (int n = 0; n < kCount; ++n) {
      auto it = seen.find({id, n});
      int times = it == seen.end() ? 0 : it->second;
      EXPECT_EQ(1, times) << "writer " << id << " line " << n;
      if (times != 1) return;  // one report is enough
    }
  }
  EXPECT_EQ(static_cast<size_t>(kWriters * kCount), seen.size());
}

}  // namespace
}  // namespace lite_util
