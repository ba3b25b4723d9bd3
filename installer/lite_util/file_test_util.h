// File helpers for the tests.
#ifndef INSTALLER_LITE_UTIL_FILE_TEST_UTIL_H_
#define INSTALLER_LITE_UTIL_FILE_TEST_UTIL_H_

#include <windows.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_util {

// The whole content of the file at |path|; empty when it cannot be read.
// Others may go on writing or deleting it meanwhile.
inline std::string ReadFileForTest(const std::wstring& path) {
  ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (file.IsValid() &&
         ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) &&
         read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

// Like ReadFileForTest, but "<missing>" when there is no such file, so that
// a missing file and an empty one tell apart in a comparison.
inline std::string ReadFileOrMissingForTest(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return "<missing>";
  return ReadFileForTest(path);
}

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_FILE_TEST_UTIL_H_
