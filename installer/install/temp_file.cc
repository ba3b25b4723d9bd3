#include "installer/install/temp_file.h"

namespace lite_installer {
namespace {

// GetTempFileNameW's numbers: four hexadecimal digits, 0 not allowed (it
// would make GetTempFileNameW create a file itself).
constexpr unsigned kNumberRange = 0xFFFF;
constexpr unsigned kMaxAttempts = 256;

}  // namespace

std::wstring GetTempDirectory() {
  wchar_t dir[MAX_PATH + 1] = {};
  DWORD length = ::GetTempPathW(MAX_PATH + 1, dir);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(dir, length);
}

unsigned NextTempFileNumber() {
  static volatile LONG counter = 0;
  LONG step = ::InterlockedIncrement(&counter);
  return ::GetTickCount() ^ (::GetCurrentProcessId() << 4) ^
         (static_cast<unsigned>(step) * 7919u);
}

lite_util::ScopedFileHandle CreateUniqueTempFile(const std::wstring& dir,
                                                 const wchar_t* prefix,
                                                 DWORD access, DWORD share,
                                                 unsigned first_number,
                                                 std::wstring* path) {
  lite_util::ScopedFileHandle file;
  if (dir.empty()) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return file;
  }
  for (unsigned attempt = 0; attempt < kMaxAttempts; ++attempt) {
    unsigned number = (first_number + attempt) % kNumberRange + 1;
    wchar_t name[MAX_PATH] = {};
    // With a non-zero number GetTempFileNameW only forms the name.
    if (!::GetTempFileNameW(dir.c_str(), prefix, number, name)) return file;
    // CREATE_NEW fails on any name that exists, a planted link included;
    // FILE_FLAG_OPEN_REPARSE_POINT keeps a reparse point from being
    // followed should one appear at the name.
    file.Set(::CreateFileW(name, access, share, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr));
    if (file.IsValid()) {
      *path = name;
      return file;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return file;
    }
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return file;
}

bool SetDeleteOnClose(HANDLE file, bool delete_on_close) {
  FILE_DISPOSITION_INFO info = {};
  info.DeleteFile = delete_on_close ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &info,
                                      sizeof(info)) != FALSE;
}

}  // namespace lite_installer
