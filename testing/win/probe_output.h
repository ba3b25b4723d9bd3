// What the test programs print: flushed report lines (a time-out must not
// lose them), log records as "log" lines, and UTF-8 of window texts.
#ifndef TESTING_WIN_PROBE_OUTPUT_H_
#define TESTING_WIN_PROBE_OUTPUT_H_

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

inline std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                      &out[0], size, nullptr, nullptr);
  return out;
}

// One line on stdout, flushed.
inline void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

class StdoutLogSink : public lite_util::LogSink {
 public:
  void Emit(const lite_util::LogRecord& record) override {
    Say("log %s %s: %s", lite_util::LogSeverityName(record.severity),
        record.function_name, record.text.c_str());
  }
};

}  // namespace lite_installer

#endif  // TESTING_WIN_PROBE_OUTPUT_H_
