// Runs a program and prints its full 32-bit exit code, which the Linux
// shell under Wine only sees the low byte of. Prints "pid=<id>" once the
// program runs and "exit_code=<signed> (0x<hex>)" when it ends. Its own
// exit code is 0 when the program ran, 1 when it could not be started.
// usage: exit_code_launcher.exe [--env NAME=VALUE]... [--cwd DIR]
//            [--argv0 TEXT] [--debug-output] PROGRAM [ARGUMENTS...]
// --env sets a variable for the program (Wine takes TEMP and TMP from the
// prefix's registry, so tests set them here); --cwd its current directory;
// --argv0 the program part of its command line (PROGRAM is started all
// the same).
// --debug-output makes the launcher the session's debug-output monitor
// while the program runs: every OutputDebugString of the program and of
// the programs it starts is printed, before the exit code, as
// "debug_output=<process id> <text>".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The receiving side of the system's debug-output channel: a 4096-byte
// shared buffer ("DBWIN_BUFFER": the writer's process id, then its text)
// and two events by which the monitor offers the buffer and the writer
// hands it back filled. Only one monitor can hold the names at a time.
class DebugOutputMonitor {
 public:
  bool Start() {
    buffer_ready_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    if (!buffer_ready_ || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    data_ready_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                  PAGE_READWRITE, 0, kBufferSize,
                                  L"DBWIN_BUFFER");
    if (!data_ready_ || !mapping_) return false;
    view_ = static_cast<const char*>(
        MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, kBufferSize));
    return view_ && SetEvent(buffer_ready_);
  }

  // Collects what is written until |process| has ended. A text written
  // before the end is always seen: a ready buffer is taken first.
  void CollectUntilExit(HANDLE process) {
    HANDLE handles[] = {data_ready_, process};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) ==
           WAIT_OBJECT_0) {
      DWORD pid = *reinterpret_cast<const DWORD*>(view_);
      const char* text = view_ + sizeof(DWORD);
      lines_.push_back(std::to_string(pid) + " " +
                       std::string(text, strnlen(text, kBufferSize -
                                                           sizeof(DWORD))));
      SetEvent(buffer_ready_);
    }
  }

  void Print() const {
    for (const std::string& line : lines_) {
      std::string text = line;
      // One record per line: a trailing line break is the writer's.
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
      for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
      }
      std::printf("debug_output=%s\n", text.c_str());
    }
  }

  ~DebugOutputMonitor() {
    if (view_) UnmapViewOfFile(view_);
    for (HANDLE handle : {mapping_, data_ready_, buffer_ready_}) {
      if (handle) CloseHandle(handle);
    }
  }

 private:
  static constexpr DWORD kBufferSize = 4096;
  HANDLE buffer_ready_ = nullptr;
  HANDLE data_ready_ = nullptr;
  HANDLE mapping_ = nullptr;
  const char* view_ = nullptr;
  std::vector<std::string> lines_;
};

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
  const wchar_t* argv0 = nullptr;
  bool debug_output = false;
  for (; i + 1 < argc; i += 2) {
    std::wstring option = argv[i];
    if (option == L"--debug-output") {
      debug_output = true;
      --i;  // takes no value
    } else if (option == L"--env") {
      std::wstring pair = argv[i + 1];
      size_t equals = pair.find(L'=');
      if (equals == std::wstring::npos) return 2;
      SetEnvironmentVariableW(pair.substr(0, equals).c_str(),
                              pair.substr(equals + 1).c_str());
    } else if (option == L"--cwd") {
      cwd = argv[i + 1];
    } else if (option == L"--argv0") {
      argv0 = argv[i + 1];
    } else {
      break;
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: exit_code_launcher [--env N=V] [--cwd D] "
                         "[--argv0 T] [--debug-output] PROGRAM [ARGS...]\n");
    return 2;
  }
  // The program's own text is passed as given, so that tests can hand it
  // odd command lines.
  std::wstring command_line = QuoteArgument(argv0 ? argv0 : argv[i]);
  for (int k = i + 1; k < argc; ++k) command_line += L" " + std::wstring(argv[k]);

  DebugOutputMonitor monitor;
  if (debug_output && !monitor.Start()) {
    std::printf("monitor_error=%lu\n", GetLastError());
    std::fflush(stdout);
    return 1;
  }

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
  if (debug_output) {
    monitor.CollectUntilExit(info.hProcess);
    monitor.Print();
  } else {
    WaitForSingleObject(info.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  std::printf("exit_code=%ld (0x%08lx)\n", static_cast<long>(code),
              static_cast<unsigned long>(code));
  std::fflush(stdout);
  return 0;
}
