// Reading an executable's version resource and a file's times, for the
// statistics and for deciding whether a downloaded file can be reused.
#ifndef INSTALLER_LITE_UTIL_FILE_VERSION_H_
#define INSTALLER_LITE_UTIL_FILE_VERSION_H_

#include <windows.h>

#include <string>

namespace lite_util {

// "a.b.c.d" from the product version of the file's version resource;
// "0.0.0.0" when the file has none that can be read.
std::string GetFileVersion(const std::wstring& path);

// The file date of the version resource (dwFileDateMS and dwFileDateLS).
bool ReadVersionResourceFileDate(const std::wstring& path, DWORD* date_ms,
                                 DWORD* date_ls);

struct FileTimes {
  FILETIME creation = {};
  FILETIME last_access = {};
  FILETIME last_write = {};
};

// The file's creation, access and write times from GetFileAttributesExW.
bool ReadFileTimes(const std::wstring& path, FileTimes* times);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_FILE_VERSION_H_
