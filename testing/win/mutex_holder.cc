// Holds a named mutex for the tests: "own" takes ownership, "open" only
// keeps a handle (keeping the object alive after its owner dies). Prints
// "ready" and holds until its standard input closes or the time runs out.
// "file" keeps the file NAME open with read-only sharing instead.
// usage: mutex_holder.exe own|open|file NAME SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  std::wstring mode = argv[1];
  std::wstring kind = argv[1];
  // "file": keeps the file PATH open for reading with read-only sharing,
  // so that it can be neither written nor deleted.
  HANDLE mutex =
      kind == L"file"
          ? CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
          : CreateMutexW(nullptr, FALSE, argv[2]);
  if (!mutex || mutex == INVALID_HANDLE_VALUE) return 3;
  if (mode == L"own" && WaitForSingleObject(mutex, 5000) != WAIT_OBJECT_0)
    return 4;
  std::printf("ready\n");
  std::fflush(stdout);
  DWORD seconds = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input && input != INVALID_HANDLE_VALUE &&
      GetFileType(input) == FILE_TYPE_PIPE) {
    char byte;
    DWORD read = 0;
    ReadFile(input, &byte, 1, &read, nullptr);  // returns when stdin closes
  } else {
    Sleep(seconds * 1000);
  }
  CloseHandle(mutex);
  return 0;
}
