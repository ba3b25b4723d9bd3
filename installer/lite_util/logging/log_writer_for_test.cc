// log_writer.exe LOG_PATH WRITER_ID COUNT
//
// A child process for the logger's multi-process test: logs COUNT distinct
// lines "writer <id> line <n> <padding>" to LOG_PATH through a LogFileSink,
// as the installer's own processes do. The padding length varies with the
// line so that records of different sizes cross the rotation threshold.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/logging/log.h"

namespace {

// Kept in step with the multi-process test in file_logger_unittest.cc.
std::string Padding(int writer_id, int line) {
  size_t length = static_cast<size_t>((line * 37 + writer_id * 11) % 151);
  return std::string(length, static_cast<char>('a' + writer_id % 26));
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc != 4) {
    std::fprintf(stderr, "usage: log_writer LOG_PATH WRITER_ID COUNT\n");
    return 2;
  }
  std::wstring log_path = argv[1];
  int writer_id = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
  int count = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
  ::LocalFree(argv);

  lite_util::SetLogSink(
      new lite_util::LogFileSink(log_path, lite_util::kMaxLogFileSize));
  for (int n = 0; n < count; ++n) {
    LOG(INFO) << "writer " << writer_id << " line " << n << " "
              << Padding(writer_id, n);
  }
  lite_util::SetLogSink(nullptr);
  return 0;
}
