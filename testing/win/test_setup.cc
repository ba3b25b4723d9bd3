// A stand-in for the browser's setup program, for the tests: the object
// that the installer downloads, verifies and runs. The tests give it the
// trusted-list resources and an Authenticode signature after it is built.
//
// When run it writes its command line (UTF-8) to the file named by the
// environment variable LITE_TEST_SETUP_RECORD, or else to
// "<own path>.cmdline" beside itself, and the value install_stat of the
// browser's registry key as it finds it (UTF-8) to that path + ".install_stat"
// (no file when the value is absent), and exits with the code named by the
// environment variable LITE_TEST_SETUP_EXIT_CODE, or else by the decimal
// text of the file "<own path>.exitcode", or else 0. Before it exits it
// plays the rest of the setup's side towards the installer, as the test
// chooses through the environment:
//   LITE_TEST_SETUP_MESSAGES="name:wparam,name:wparam,..."  sends each
//     registered window message to the --progress-window handle in turn
//     (lParam 0) and, when LITE_TEST_SETUP_ANSWERS names a file, writes
//     the answers so far there as "name=answer" lines after each one (-1:
//     no answer within 10 s).
//     A wparam may be negative or hexadecimal ("-1", "0xFFFFFFFF"); a name
//     "#N" posts the message number N instead; "wait:N" pauses N ms, and
//     "wait-file:PATH" waits until the file PATH exists (up to a minute);
//   LITE_TEST_SETUP_BROWSER_WINDOW_MS=N  leaves a "browser" behind: a
//     second process that owns a message-only window of the installed
//     browser's class for N milliseconds.
//   LITE_TEST_SETUP_SLEEP_MS=N  takes N milliseconds before it exits (a
//     hanging program for the tests of time-outs).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "installer/lite_util/bin_resource.h"
#include "installer/lite_util/registry.h"
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

std::wstring Environment(const wchar_t* name) {
  std::wstring value(32768, L'\0');
  DWORD length = ::GetEnvironmentVariableW(name, &value[0],
                                           static_cast<DWORD>(value.size()));
  value.resize(length < value.size() ? length : 0);
  return value;
}

// The decimal value of "--name=" on the command line; 0 without one.
unsigned long long SwitchNumber(const wchar_t* command_line,
                                const std::wstring& name) {
  std::wstring text = command_line;
  size_t at = text.find(L"--" + name + L"=");
  if (at == std::wstring::npos) return 0;
  return std::wcstoull(text.c_str() + at + name.size() + 3, nullptr, 10);
}

void SendChosenMessages(HWND window) {
  std::wstring list = Environment(L"LITE_TEST_SETUP_MESSAGES");
  std::wstring answers_path = Environment(L"LITE_TEST_SETUP_ANSWERS");
  std::string answers;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring item = list.substr(start, end - start);
    start = end + 1;
    size_t colon = item.find(L':');
    std::wstring name = item.substr(0, colon);
    std::wstring value =
        colon == std::wstring::npos ? std::wstring() : item.substr(colon + 1);
    if (name == L"wait") {
      ::Sleep(static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10)));
      continue;
    }
    if (name == L"wait-file") {
      for (int i = 0; i < 600 && ::GetFileAttributesW(value.c_str()) ==
                                     INVALID_FILE_ATTRIBUTES;
           ++i) {
        ::Sleep(100);
      }
      continue;
    }
    WPARAM wparam =
        !value.empty() && value[0] == L'-'
            ? static_cast<WPARAM>(
                  static_cast<INT_PTR>(_wcstoi64(value.c_str(), nullptr, 10)))
            : static_cast<WPARAM>(std::wcstoull(value.c_str(), nullptr, 0));
    DWORD_PTR answer = 0;
    if (!name.empty() && name[0] == L'#') {
      UINT number =
          static_cast<UINT>(std::wcstoul(name.c_str() + 1, nullptr, 10));
      answer = ::PostMessageW(window, number, wparam, 0) ? 0 : -1;
    } else {
      UINT message = ::RegisterWindowMessageW(name.c_str());
      if (!::SendMessageTimeoutW(window, message, wparam, 0, SMTO_NORMAL,
                                 10000, &answer)) {
        answer = static_cast<DWORD_PTR>(-1);
      }
    }
    answers += lite_util::WideToUtf8(name) + "=" +
               std::to_string(static_cast<long long>(answer)) + "\n";
    // Written after every answer, so that a test can follow along.
    if (!answers_path.empty()) lite_util::WriteBinFile(answers_path, answers);
  }
}

// The "installed browser": owns its message-only window for a while.
int RunBrowserWindow(unsigned long long milliseconds) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ::DefWindowProcW;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"KelvraBrowser_MessageWindow";
  ::RegisterClassW(&window_class);
  lite_util::ScopedWindow window(::CreateWindowExW(
      0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
      nullptr, window_class.hInstance, nullptr));
  if (!window.IsValid()) return 1;
  DWORD end = ::GetTickCount() + static_cast<DWORD>(milliseconds);
  for (;;) {
    DWORD now = ::GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
  }
  return 0;
}

void LeaveBrowserBehind(const std::wstring& own_path,
                        unsigned long long milliseconds) {
  std::wstring command = L"\"" + own_path + L"\" --browser-window-ms=" +
                         std::to_wstring(milliseconds);
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process = {};
  if (::CreateProcessW(own_path.c_str(), &command[0], nullptr, nullptr, FALSE,
                       0, nullptr, nullptr, &startup_info, &process)) {
    ::CloseHandle(process.hThread);
    // The window exists once the "browser" waits for input.
    ::WaitForInputIdle(process.hProcess, 10000);
    ::CloseHandle(process.hProcess);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  const std::wstring own_path = OwnPath();
  const wchar_t* command_line = ::GetCommandLineW();
  unsigned long long browser_ms =
      SwitchNumber(command_line, L"browser-window-ms");
  if (browser_ms) return RunBrowserWindow(browser_ms);
  wchar_t record[MAX_PATH] = {};
  DWORD length =
      ::GetEnvironmentVariableW(L"LITE_TEST_SETUP_RECORD", record, MAX_PATH);
  std::wstring record_path = length > 0 && length < MAX_PATH
                                 ? std::wstring(record, length)
                                 : own_path + L".cmdline";
  lite_util::WriteBinFile(record_path, lite_util::WideToUtf8(command_line));
  std::wstring install_stat;
  if (lite_util::ReadValueFromRegistry(lite_util::BrowserRegistryKey(),
                                       L"install_stat", &install_stat)) {
    lite_util::WriteBinFile(record_path + L".install_stat",
                            lite_util::WideToUtf8(install_stat));
  }
  HWND progress_window = reinterpret_cast<HWND>(static_cast<uintptr_t>(
      SwitchNumber(command_line, L"progress-window")));
  if (progress_window) SendChosenMessages(progress_window);
  std::wstring browser = Environment(L"LITE_TEST_SETUP_BROWSER_WINDOW_MS");
  if (!browser.empty())
    LeaveBrowserBehind(own_path, std::wcstoull(browser.c_str(), nullptr, 10));
  std::wstring sleep = Environment(L"LITE_TEST_SETUP_SLEEP_MS");
  if (!sleep.empty())
    ::Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
  ::ExitProcess(ChosenExitCode(own_path));
}
