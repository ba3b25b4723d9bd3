#include "installer/install/download/versioned_setup_url.h"

#include <windows.h>

#include <limits>

#include "installer/lite_util/file_version.h"
#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<uint64_t>(high) << 32) | low;
}

// A FILETIME in microseconds; 0 and the all-ones "no time" keep their
// meaning instead of being scaled.
int64_t FileTimeToMicroseconds(const FILETIME& time) {
  const uint64_t value = Join(time.dwHighDateTime, time.dwLowDateTime);
  if (value == std::numeric_limits<uint64_t>::max())
    return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(value / 10);
}

int64_t SystemTimeMicroseconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeToMicroseconds(now);
}

}  // namespace

bool GetModuleCreationTime(const std::wstring& path, int64_t* time_us) {
  DWORD date_ms = 0;
  DWORD date_ls = 0;
  if (!lite_util::ReadVersionResourceFileDate(path, &date_ms, &date_ls)) {
    LOG(WARNING) << "File version resource is absent in " << path;
  } else if (date_ms == 0 && date_ls == 0) {
    LOG(WARNING) << "Version time is 0 in " << path;
  } else {
    // The version resource's file date is kept in microseconds.
    const uint64_t date = Join(date_ms, date_ls);
    *time_us = date > static_cast<uint64_t>(
                          std::numeric_limits<int64_t>::max())
                   ? std::numeric_limits<int64_t>::max()
                   : static_cast<int64_t>(date);
    return true;
  }
  LOG(WARNING) << "Used the last write file time";
  lite_util::FileTimes times;
  if (!lite_util::ReadFileTimes(path, &times)) return false;
  *time_us = FileTimeToMicroseconds(times.last_write);
  return true;
}

bool IsVersionedSetupUrlAllowedAt(const std::string& url,
                                  int64_t creation_time_us, int64_t now_us) {
  if (url.empty()) return false;
  if (url.find('{') != std::string::npos) {
    // A template whose placeholders were never filled in.
    LOG_AS(ERROR, "IsVersionedSetupUrlAllowed") << "Wrong setup url:" << url;
    return false;
  }
  if (creation_time_us <= 0) return false;
  return now_us - creation_time_us < kVersionedSetupUrlMaxAgeUs;
}

bool IsVersionedSetupUrlAllowed(const std::string& url) {
  if (url.empty()) return false;
  // The template check comes first and needs no file access.
  if (url.find('{') != std::string::npos)
    return IsVersionedSetupUrlAllowedAt(url, 0, 0);
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  int64_t creation_time = 0;
  if (!GetModuleCreationTime(path, &creation_time)) return false;
  return IsVersionedSetupUrlAllowedAt(url, creation_time,
                                      SystemTimeMicroseconds());
}

}  // namespace lite_installer
