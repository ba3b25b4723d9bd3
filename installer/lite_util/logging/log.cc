#include "installer/lite_util/logging/log.h"

#include <cstdio>

#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

// Constant-initialised: no code runs before wWinMain for it.
LogSink* g_log_sink = nullptr;

int64_t NowMicroseconds() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(t.QuadPart / 10);
}

bool FormatFromModule(HMODULE module, DWORD flags, DWORD error,
                      std::wstring* message) {
  wchar_t buffer[1024];
  DWORD length = ::FormatMessageW(flags | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  module, error, 0x409, buffer, 1024, nullptr);
  if (length == 0) return false;
  message->assign(buffer, length);
  return true;
}

}  // namespace

const char* LogSeverityName(LogSeverity severity) {
  switch (severity) {
    case LOG_ERROR:
      return "ERROR";
    case LOG_WARNING:
      return "WARNING";
    default:
      return "INFO";
  }
}

void SetLogSink(LogSink* sink) {
  LogSink* previous = g_log_sink;
  g_log_sink = sink;
  delete previous;
}

std::string DescribeWindowsError(DWORD error) {
  // PLOG and ELOG call this inside the statement; the failed look-ups below
  // must not leave their own error behind for the caller.
  DWORD saved_error = ::GetLastError();
  std::wstring message;
  bool found = FormatFromModule(nullptr, FORMAT_MESSAGE_FROM_SYSTEM, error,
                                &message);
  // Network errors live in the message tables of the network libraries;
  // they are consulted only when already loaded, never loaded for this.
  for (const wchar_t* name : {L"wininet.dll", L"urlmon.dll"}) {
    if (found) break;
    HMODULE module = ::GetModuleHandleW(name);
    if (module)
      found = FormatFromModule(module, FORMAT_MESSAGE_FROM_HMODULE, error,
                               &message);
  }
  ::SetLastError(saved_error);
  std::string text = std::to_string(error) + ", ";
  if (found) return text + WideToUtf8(message);
  char fallback[48];
  std::snprintf(fallback, sizeof(fallback), "unknown error 0x%lx\n",
                static_cast<unsigned long>(error));
  return text + fallback;
}

LogStatement::LogStatement(LogSeverity severity, const char* function_name,
                           int line) {
  record_.severity = severity;
  record_.function_name = function_name;
  record_.line = line;
  record_.time_us = NowMicroseconds();
  record_.process_id = ::GetCurrentProcessId();
  record_.thread_id = ::GetCurrentThreadId();
}

LogStatement::~LogStatement() { Finish(); }

void LogStatement::Finish() {
  if (finished_) return;
  finished_ = true;
  DWORD error = ::GetLastError();  // logging must not disturb the caller
  if (g_log_sink) g_log_sink->Emit(record_);
  ::SetLastError(error);
}

LogStatement& LogStatement::operator<<(const char* text) {
  if (text) record_.text += text;
  return *this;
}

LogStatement& LogStatement::operator<<(const std::string& text) {
  record_.text += text;
  return *this;
}

LogStatement& LogStatement::operator<<(const wchar_t* text) {
  if (text) record_.text += WideToUtf8(text);
  return *this;
}

LogStatement& LogStatement::operator<<(const std::wstring& text) {
  record_.text += WideToUtf8(text);
  return *this;
}

LogStatement& LogStatement::operator<<(char c) {
  record_.text += c;
  return *this;
}

void LogStatement::AppendSigned(long long value) {
  record_.text += std::to_string(value);
}

void LogStatement::AppendUnsigned(unsigned long long value) {
  record_.text += std::to_string(value);
}

ErrorLogStatement::ErrorLogStatement(LogSeverity severity,
                                     const char* function_name, int line,
                                     std::string error_description)
    : LogStatement(severity, function_name, line),
      error_description_(std::move(error_description)) {}

ErrorLogStatement::~ErrorLogStatement() {
  if (!record_.text.empty()) record_.text += " - ";
  record_.text += error_description_;
  Finish();
}

}  // namespace lite_util
