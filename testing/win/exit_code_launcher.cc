// Runs a program and prints its full 32-bit exit code, which the Linux
// shell under Wine only sees the low byte of. Prints "pid=<id>" once the
// program runs and "exit_code=<signed> (0x<hex>)" when it ends. Its own
// exit code is 0 when the program ran, 1 when it could not be started.
// usage: exit_code_launcher.exe [--env NAME=VALUE]... [--cwd DIR]
//            PROGRAM [ARGUMENTS...]
// --env sets a variable for the program (Wine takes TEMP and TMP from the
// prefix's registry, so tests set them here); --cwd its current directory.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"\\") == std::wstring::npos)
    return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L'"';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 1;
  const wchar_t* cwd = nullptr;
  for (; i + 1 < argc; i += 2) {
    std::wstring option = argv[i];
    if (option == L"--env") {
      std::wstring pair = argv[i + 1];
      size_t equals = pair.find(L'=');
      if (equals == std::wstring::npos) return 2;
      SetEnvironmentVariableW(pair.substr(0, equals).c_str(),
                              pair.substr(equals + 1).c_str());
    } else if (option == L"--cwd") {
      cwd = argv[i + 1];
    } else {
      break;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: exit_code_launcher [--env N=V] [--cwd D] "
                         "PROGRAM [ARGS...]\n");
    return 2;
  }
  // The program's own text is passed as given, so that tests can hand it
  // odd command lines.
  std::wstring command_line = QuoteArgument(argv[i]);
  for (int k = i + 1; k < argc; ++k) command_line += L" " + std::wstring(argv[k]);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(argv[i], &command_line[0], nullptr, nullptr, TRUE, 0,
                      nullptr, cwd, &startup, &info)) {
    std::printf("launch_error=%lu\n", GetLastError());
    std::fflush(stdout);
    return 1;
  }
  CloseHandle(info.hThread);
  std::printf("pid=%lu\n", info.dwProcessId);
  std::fflush(stdout);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  std::printf("exit_code=%ld (0x%08lx)\n", static_cast<long>(code),
              static_cast<unsigned long>(code));
  std::fflush(stdout);
  return 0;
}
