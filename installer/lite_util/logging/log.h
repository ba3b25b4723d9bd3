// The log statement used everywhere in the installer: LOG(INFO) << ...;
// PLOG(ERROR) << ... appends the description of GetLastError();
// ELOG(ERROR, code) << ... appends the description of a given error code.
// Records go to the one process-wide sink (see file_logger.h).
#ifndef INSTALLER_LITE_UTIL_LOGGING_LOG_H_
#define INSTALLER_LITE_UTIL_LOGGING_LOG_H_

#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

namespace lite_util {

enum LogSeverity { LOG_INFO = 0, LOG_ERROR = 1, LOG_WARNING = 2 };

const char* LogSeverityName(LogSeverity severity);

struct LogRecord {
  LogSeverity severity = LOG_INFO;
  const char* function_name = "";
  int line = 0;
  // Wall-clock time in microseconds since 1601-01-01 UTC (FILETIME epoch).
  int64_t time_us = 0;
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  std::string text;
};

class LogSink {
 public:
  virtual void Emit(const LogRecord& record) = 0;
  virtual ~LogSink() = default;
};

// Takes ownership of |sink| and destroys the previous one.
void SetLogSink(LogSink* sink);

// "<code>, <system text>" for a Windows error code (see log.cc).
std::string DescribeWindowsError(DWORD error);

// Whether a log statement writes an operand of type T as a decimal number.
template <typename T>
constexpr bool IsLoggedAsNumber() {
  return (std::is_integral<T>::value && !std::is_same<T, char>::value &&
          !std::is_same<T, bool>::value) ||
         std::is_enum<T>::value;
}

template <typename T>
constexpr bool IsLoggedAsText() {
  return std::is_convertible<T, const char*>::value ||
         std::is_convertible<T, const wchar_t*>::value ||
         std::is_convertible<T, std::string>::value ||
         std::is_convertible<T, std::wstring>::value;
}

template <typename T, bool = std::is_enum<T>::value>
struct NumberType {
  using type = T;
};
template <typename T>
struct NumberType<T, true> {
  using type = std::underlying_type_t<T>;
};

class LogStatement {
 public:
  LogStatement(LogSeverity severity, const char* function_name, int line);
  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;
  virtual ~LogStatement();

  LogStatement& operator<<(const char* text);
  LogStatement& operator<<(const std::string& text);
  LogStatement& operator<<(const wchar_t* text);
  LogStatement& operator<<(const std::wstring& text);
  LogStatement& operator<<(char c);
  // Integers and enumerations are written in decimal (an enumeration as its
  // underlying value): a character is written only for a char operand.
  template <typename T, typename = std::enable_if_t<IsLoggedAsNumber<T>()>>
  LogStatement& operator<<(T value) {
    using Integer = typename NumberType<T>::type;
    if (std::is_signed<Integer>::value)
      AppendSigned(static_cast<long long>(static_cast<Integer>(value)));
    else
      AppendUnsigned(static_cast<unsigned long long>(static_cast<Integer>(value)));
    return *this;
  }
  // Every other operand that is not text (bool, floating point, pointers,
  // objects converting to char) would otherwise convert to char and be
  // written as a raw byte: refused at compile time.
  template <typename T,
            typename = std::enable_if_t<!IsLoggedAsNumber<T>() &&
                                        !std::is_same<T, char>::value &&
                                        !IsLoggedAsText<T>()>,
            typename = void>
  LogStatement& operator<<(T value) = delete;

 protected:
  void Finish();
  LogRecord record_;

 private:
  void AppendSigned(long long value);
  void AppendUnsigned(unsigned long long value);
  bool finished_ = false;
};

class ErrorLogStatement : public LogStatement {
 public:
  ErrorLogStatement(LogSeverity severity, const char* function_name, int line,
                    std::string error_description);
  ~ErrorLogStatement() override;

 private:
  std::string error_description_;
};

}  // namespace lite_util

#define LOG(severity) \
  ::lite_util::LogStatement(::lite_util::LOG_##severity, __func__, __LINE__)
// For code that logs under the name of the function it serves, such as the
// entry's helpers logging as "wWinMain".
#define LOG_AS(severity, function_name) \
  ::lite_util::LogStatement(::lite_util::LOG_##severity, function_name, __LINE__)
#define PLOG_AS(severity, function_name)                                \
  ::lite_util::ErrorLogStatement(                                       \
      ::lite_util::LOG_##severity, function_name, __LINE__,             \
      ::lite_util::DescribeWindowsError(::GetLastError()))
#define PLOG(severity)                                                  \
  ::lite_util::ErrorLogStatement(                                       \
      ::lite_util::LOG_##severity, __func__, __LINE__,                  \
      ::lite_util::DescribeWindowsError(::GetLastError()))
#define ELOG(severity, error)                                           \
  ::lite_util::ErrorLogStatement(::lite_util::LOG_##severity, __func__, \
                                 __LINE__,                              \
                                 ::lite_util::DescribeWindowsError(error))

#endif  // INSTALLER_LITE_UTIL_LOGGING_LOG_H_
