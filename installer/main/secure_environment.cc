#include "installer/main/secure_environment.h"

#include <windows.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/main/command_line.h"
#include "installer/main/test_seams.h"

namespace lite_installer {
namespace {

using SetSearchPathModeFunction = BOOL(WINAPI*)(DWORD);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

FARPROC LookUpKernel32(const char* name) {
  if (TestSeamEnabled("no-dll-hardening")) return nullptr;
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

std::wstring GetProgramPath() {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(path, length);
}

std::wstring DirectoryOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A new directory with a unique name inside the temporary directory.
bool CreateUniqueTempDirectory(std::wstring* result) {
  wchar_t temp[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return false;
  UINT seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
  for (UINT attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[MAX_PATH];
    UINT unique = (seed + attempt * 7919) & 0xFFFF;
    if (unique == 0) unique = 1;
    // With a non-zero number GetTempFileNameW only forms the name.
    if (!::GetTempFileNameW(temp, L"", unique, name)) return false;
    if (::CreateDirectoryW(name, nullptr)) {
      *result = name;
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

void DeleteDirectoryWithFiles(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  lite_util::ScopedFindHandle find(
      ::FindFirstFileW((dir + L"\\*").c_str(), &data));
  if (find.IsValid()) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        ::DeleteFileW((dir + L"\\" + data.cFileName).c_str());
    } while (::FindNextFileW(find.Get(), &data));
  }
  find.Close();
  ::RemoveDirectoryW(dir.c_str());
}

bool DirectoryHasDlls(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  lite_util::ScopedFindHandle find(
      ::FindFirstFileW((dir + L"\\*.dll").c_str(), &data));
  if (!find.IsValid()) return false;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  } while (::FindNextFileW(find.Get(), &data));
  return false;
}

// Runs |copy| from |dir| and turns its exit into a status.
SecureEnvironmentStatus RunProtectedCopy(const std::wstring& copy,
                                         const std::wstring& dir,
                                         int* exit_code) {
  CommandLine command_line = CommandLine::ForCurrentProcess();
  command_line.SetProgram(copy);
  command_line.AppendSwitch("spawned_in_protected_dir");
  std::wstring text = command_line.GetCommandLineString();

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(copy.c_str(), &text[0], nullptr, nullptr, FALSE, 0,
                        nullptr, dir.c_str(), &startup, &info)) {
    return kNotFound;
  }
  lite_util::ScopedProcessHandle process(info.hProcess);
  lite_util::ScopedThreadHandle thread(info.hThread);
  DWORD code = 0;
  if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.Get(), &code)) {
    return kInsecure;
  }
  *exit_code = static_cast<int>(code);
  return *exit_code == kDllFoundExitCode ? kInsecure : kChildFinished;
}

}  // namespace

SecureEnvironmentStatus CheckSecureEnvironment(int* exit_code) {
  *exit_code = 0;
  ::SetDllDirectoryW(L"");
  auto set_search_path_mode = reinterpret_cast<SetSearchPathModeFunction>(reinterpret_cast<void*>(
      LookUpKernel32("SetSearchPathMode")));
  auto set_default_dll_directories =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
          LookUpKernel32("SetDefaultDllDirectories")));
  if (!set_search_path_mode || !set_default_dll_directories)
    return RelaunchFromProtectedDirectory(exit_code);
  if (!set_search_path_mode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                            BASE_SEARCH_PATH_PERMANENT))
    return kNotFound;
  return set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32) ? kSecure
                                                                   : kNotFound;
}

SecureEnvironmentStatus RelaunchFromProtectedDirectory(int* exit_code) {
  ::SetDllDirectoryW(L"");
  std::wstring program = GetProgramPath();
  const CommandLine& command_line = CommandLine::ForCurrentProcess();
  if (command_line.HasSwitch("run-as-admin") ||
      command_line.HasSwitch("spawned_in_protected_dir")) {
    return DirectoryHasDlls(DirectoryOf(program)) ? kDllFound : kSecure;
  }

  std::wstring dir;
  if (!CreateUniqueTempDirectory(&dir)) return kNotFound;
  std::wstring copy = dir + L"\\" + FileNameOf(program);
  if (program.empty() || !::CopyFileW(program.c_str(), copy.c_str(), TRUE)) {
    ::RemoveDirectoryW(dir.c_str());
    return kNotFound;
  }
  ::MoveFileExW(copy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ::MoveFileExW(dir.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (TestSeamEnabled("plant-dll-in-protected-dir")) {
    lite_util::ScopedFileHandle planted(
        ::CreateFileW((dir + L"\\planted.dll").c_str(), GENERIC_WRITE, 0,
                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  SecureEnvironmentStatus status = RunProtectedCopy(copy, dir, exit_code);
  DeleteDirectoryWithFiles(dir);
  return status;
}

}  // namespace lite_installer
