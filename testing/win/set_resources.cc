// Adds or replaces resources of an executable, for the tests that give the
// test setup program its trusted-list resources after it is built:
//   set_resources.exe FILE TYPE NAME DATA_FILE [TYPE NAME DATA_FILE]...
// Each resource is stored language-neutral; an empty DATA_FILE name ("")
// deletes the resource. Exit code 0 on success, 1 on failure (with the
// Windows error printed), 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "installer/lite_util/scoped_handle.h"

namespace {

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>* bytes) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
      nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart > (16 << 20)) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes->empty() ||
         (::ReadFile(file.Get(), bytes->data(),
                     static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
}

int Fail(const char* what) {
  std::printf("%s failed: %lu\n", what, ::GetLastError());
  std::fflush(stdout);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0) {
    std::printf("usage: set_resources.exe FILE TYPE NAME DATA_FILE...\n");
    return 2;
  }
  HANDLE update = ::BeginUpdateResourceW(argv[1], FALSE);
  if (!update) return Fail("BeginUpdateResourceW");
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  for (int i = 2; i + 2 < argc; i += 3) {
    std::vector<BYTE> data;
    const bool remove = argv[i + 2][0] == L'\0';
    if (!remove && !ReadWholeFile(argv[i + 2], &data)) {
      ::EndUpdateResourceW(update, TRUE);
      return Fail("reading the data file");
    }
    if (!::UpdateResourceW(update, argv[i], argv[i + 1], neutral,
                           remove ? nullptr : data.data(),
                           static_cast<DWORD>(data.size()))) {
      ::EndUpdateResourceW(update, TRUE);
      return Fail("UpdateResourceW");
    }
  }
  if (!::EndUpdateResourceW(update, FALSE)) return Fail("EndUpdateResourceW");
  return 0;
}
