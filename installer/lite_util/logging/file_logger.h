// The installer's log file: lite_installer.log in the temporary folder,
// shared between the installer's processes through a named mutex derived
// from the path, rotated to lite_installer_old.log at 1 MiB.
#ifndef INSTALLER_LITE_UTIL_LOGGING_FILE_LOGGER_H_
#define INSTALLER_LITE_UTIL_LOGGING_FILE_LOGGER_H_

#include <cstdint>
#include <string>

#include "installer/lite_util/logging/log.h"

namespace lite_util {

constexpr uint32_t kMaxLogFileSize = 1048576;

// "lite_installer.log" in the temporary folder; empty when there is no
// usable temporary folder (GetTempPathW fails or needs more than MAX_PATH),
// and a sink given an empty path writes nothing.
std::wstring GetLogFilePath();

// "dravenlisk log " + MD5 of the path's UTF-8 form in upper-case hex.
std::wstring LogMutexName(const std::wstring& log_path);

// The path with "_old" inserted before the extension.
std::wstring OldLogFilePath(const std::wstring& log_path);

// Classifies the Windows error of a failed rotation move.
int FileErrorFromWindowsError(DWORD error);

class LogFileSink : public LogSink {
 public:
  LogFileSink(const std::wstring& log_path, uint32_t max_size);
  void Emit(const LogRecord& record) override;

  // How long Emit waits for the log mutex; tests shorten it.
  void set_lock_timeout_ms(DWORD ms) { lock_timeout_ms_ = ms; }

 private:
  // Moves a full log aside. |file| is the open log; on return it is the
  // file to write to (possibly a new, empty one). May prepend a notice.
  void RotateIfNeeded(HANDLE* file, uint64_t added_length,
                      const std::string& prefix, std::string* out);

  std::wstring log_path_;
  uint32_t max_size_;
  bool rotation_disabled_ = false;
  bool lock_failure_reported_ = false;
  DWORD lock_timeout_ms_ = 1000;
};

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_LOGGING_FILE_LOGGER_H_
