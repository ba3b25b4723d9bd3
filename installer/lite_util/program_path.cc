#include "installer/lite_util/program_path.h"

#include <windows.h>

namespace lite_util {

std::wstring GetRunningProgramPath() {
  // GetModuleFileNameW truncates silently (returning the buffer's size)
  // when the buffer is too small; grow it up to the longest NT path.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::wstring path(size, L'\0');
    DWORD length = ::GetModuleFileNameW(nullptr, &path[0], size);
    if (length == 0) return std::wstring();
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return std::wstring();
}

}  // namespace lite_util
