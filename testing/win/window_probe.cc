// Lists the windows of a process for the window tests: one line per
// top-level window ("window <class> <visible> <text>") followed by its
// children ("child <class> <text>"), texts in UTF-8 with "\n" written as
// the two characters \n. With "--foreground", prints the process id of the
// foreground window's owner instead; with "--tree PID", the geometry of
// every window and child; with "--focus PID", the control that has the
// keyboard focus in the process's window thread.
// usage: window_probe.exe PID | window_probe.exe --foreground |
//        window_probe.exe --tree PID | window_probe.exe --focus PID
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  std::string escaped;
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                 static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                      &out[0], size, nullptr, nullptr);
  for (char c : out) {
    if (c == '\n') escaped += "\\n";
    else if (c == '\r') escaped += "\\r";
    else escaped += c;
  }
  return escaped;
}

std::wstring Text(HWND window) {
  wchar_t buffer[2048];
  int length = GetWindowTextW(window, buffer, 2048);
  return std::wstring(buffer, length > 0 ? length : 0);
}

std::wstring Class(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  std::printf("child %s %s\n", Utf8(Class(child)).c_str(),
              Utf8(Text(child)).c_str());
  return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM param) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(param)) return TRUE;
  std::printf("window %s %d %s\n", Utf8(Class(window)).c_str(),
              IsWindowVisible(window) ? 1 : 0, Utf8(Text(window)).c_str());
  EnumChildWindows(window, PrintChild, 0);
  return TRUE;
}

BOOL CALLBACK PrintChildGeometry(HWND child, LPARAM) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect),
                  2);
  std::wstring name = Class(child);
  long position = -1;
  long check = -1;
  if (name == L"msctls_progress32")
    position = static_cast<long>(SendMessageW(child, 0x0408 /* PBM_GETPOS */,
                                              0, 0));
  if (name == L"Button")
    check = static_cast<long>(SendMessageW(child, BM_GETCHECK, 0, 0));
  std::printf("child %d %llu %ld %ld %ld %ld %d %ld %ld %s %s\n",
              GetDlgCtrlID(child),
              static_cast<unsigned long long>(
                  reinterpret_cast<UINT_PTR>(child)),
              rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top, IsWindowVisible(child) ? 1 : 0, position,
              check, Utf8(name).c_str(), Utf8(Text(child)).c_str());
  return TRUE;
}

BOOL CALLBACK PrintWindowGeometry(HWND window, LPARAM param) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(param)) return TRUE;
  RECT rect;
  GetWindowRect(window, &rect);
  std::printf("window %llu %ld %ld %ld %ld %d %s %s\n",
              static_cast<unsigned long long>(
                  reinterpret_cast<UINT_PTR>(window)),
              rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top, IsWindowVisible(window) ? 1 : 0,
              Utf8(Class(window)).c_str(), Utf8(Text(window)).c_str());
  EnumChildWindows(window, PrintChildGeometry, 0);
  return TRUE;
}

struct FocusSearch {
  DWORD process;
  DWORD thread;
};

BOOL CALLBACK FindVisibleWindowThread(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FocusSearch*>(param);
  DWORD owner = 0;
  DWORD thread = GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window)) return TRUE;
  search->thread = thread;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--tree") {
    EnumWindows(PrintWindowGeometry,
                static_cast<LPARAM>(std::wcstoul(argv[2], nullptr, 10)));
    std::fflush(stdout);
    return 0;
  }
  if (argc == 3 && std::wstring(argv[1]) == L"--focus") {
    // The control that has the keyboard focus in the thread of the
    // process's first visible top-level window: "focus <id> <hwnd>
    // <class>", or "focus none" when that thread has no focus window.
    FocusSearch search = {
        static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)), 0};
    EnumWindows(FindVisibleWindowThread, reinterpret_cast<LPARAM>(&search));
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (search.thread && GetGUIThreadInfo(search.thread, &info) &&
        info.hwndFocus) {
      std::printf("focus %d %llu %s\n", GetDlgCtrlID(info.hwndFocus),
                  static_cast<unsigned long long>(
                      reinterpret_cast<UINT_PTR>(info.hwndFocus)),
                  Utf8(Class(info.hwndFocus)).c_str());
    } else {
      std::printf("focus none\n");
    }
    std::fflush(stdout);
    return 0;
  }
  if (argc != 2) return 2;
  if (std::wstring(argv[1]) == L"--foreground") {
    DWORD owner = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &owner);
    std::printf("%lu\n", owner);
    return 0;
  }
  EnumWindows(PrintWindow, static_cast<LPARAM>(std::wcstoul(argv[1], nullptr, 10)));
  std::fflush(stdout);
  return 0;
}
