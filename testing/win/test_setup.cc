// A stand-in for the browser's setup program, for the tests: the object
// that the installer downloads, verifies and runs. The tests give it the
// trusted-list resources and an Authenticode signature after it is built.
//
// When run it writes its command line (UTF-8) to the file named by the
// environment variable LITE_TEST_SETUP_RECORD, or else to
// "<own path>.cmdline" beside itself, and exits with the code named by the environment variable
// LITE_TEST_SETUP_EXIT_CODE, or else by the decimal text of the file
// "<own path>.exitcode", or else 0.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace {

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    DWORD length = ::GetModuleFileNameW(nullptr, &path[0],
                                        static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file.IsValid() &&
         ::WriteFile(file.Get(), bytes.data(),
                     static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string ReadSmallFile(const std::wstring& path) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  char buffer[32] = {};
  DWORD read = 0;
  if (!file.IsValid() ||
      !::ReadFile(file.Get(), buffer, sizeof(buffer) - 1, &read, nullptr)) {
    return std::string();
  }
  return std::string(buffer, read);
}

UINT ChosenExitCode(const std::wstring& own_path) {
  wchar_t value[32] = {};
  std::string text;
  if (::GetEnvironmentVariableW(L"LITE_TEST_SETUP_EXIT_CODE", value, 32) > 0)
    text = lite_util::WideToUtf8(value);
  else
    text = ReadSmallFile(own_path + L".exitcode");
  return static_cast<UINT>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  const std::wstring own_path = OwnPath();
  wchar_t record[MAX_PATH] = {};
  DWORD length =
      ::GetEnvironmentVariableW(L"LITE_TEST_SETUP_RECORD", record, MAX_PATH);
  std::wstring record_path = length > 0 && length < MAX_PATH
                                 ? std::wstring(record, length)
                                 : own_path + L".cmdline";
  WriteWholeFile(record_path, lite_util::WideToUtf8(::GetCommandLineW()));
  ::ExitProcess(ChosenExitCode(own_path));
}
