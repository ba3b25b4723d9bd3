// The test setup's side towards the installer's window: the registered
// messages it sends to the --progress-window handle and the "browser"
// message window it leaves behind. Later window tests rely on both.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace {

constexpr wchar_t kBrowserClass[] = L"KelvraBrowser_MessageWindow";

std::wstring BesideMe(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

// A window that records the registered messages it receives and answers
// each with its wParam + 1.
struct Received {
  std::vector<std::pair<UINT, WPARAM>> messages;
};

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam,
                               LPARAM lparam) {
  if (message >= 0xC000 || message == WM_APP + 100) {
    auto* received = reinterpret_cast<Received*>(
        ::GetWindowLongPtrW(window, GWLP_USERDATA));
    received->messages.emplace_back(message, wparam);
    return static_cast<LRESULT>(wparam + 1);
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Runs the test setup with |environment| added and pumps this thread's
// messages until it ends; returns its exit code.
DWORD RunTestSetup(const std::wstring& arguments,
                   const std::vector<std::pair<std::wstring, std::wstring>>&
                       environment) {
  for (const auto& variable : environment)
    ::SetEnvironmentVariableW(variable.first.c_str(), variable.second.c_str());
  std::wstring program = BesideMe(L"test_setup.exe");
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup_info = {};
  startup_info.cb = sizeof(startup_info);
  PROCESS_INFORMATION process = {};
  BOOL started =
      ::CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE,
                       0, nullptr, nullptr, &startup_info, &process);
  for (const auto& variable : environment)
    ::SetEnvironmentVariableW(variable.first.c_str(), nullptr);
  if (!started) return 0xFFFFFFFF;
  lite_util::ScopedProcessHandle handle(process.hProcess);
  ::CloseHandle(process.hThread);
  DWORD deadline = ::GetTickCount() + 60000;
  while (::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 1000,
                                     QS_ALLINPUT) != WAIT_OBJECT_0 &&
         static_cast<LONG>(deadline - ::GetTickCount()) > 0) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
  }
  DWORD code = 0xFFFFFFFF;
  ::GetExitCodeProcess(process.hProcess, &code);
  return code;
}

TEST(TestSetupTest, SendsTheChosenMessagesToTheProgressWindow) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = RecordingProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"LiteTestProgressWindow";
  ::RegisterClassW(&window_class);
  lite_util::ScopedWindow window(
      ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                        nullptr, nullptr, window_class.hInstance, nullptr));
  ASSERT_TRUE(window.IsValid());
  Received received;
  ::SetWindowLongPtrW(window.Get(), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(&received));

  std::wstring answers = TempFile(L"lite_test_setup_answers.txt");
  std::wstring record = TempFile(L"lite_test_setup_record.txt");
  std::wstring handle = std::to_wstring(
      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(
          window.Get())));
  DWORD code = RunTestSetup(
      L"--progress-window=" + handle + L" --source=lite",
      {{L"LITE_TEST_SETUP_MESSAGES",
        L"kelvra.lite.set_install_progress:3,"
        L"kelvra.lite.set_import_progress:55,"
        L"kelvra.corp.user_browser_exists:0,wait:10,"
        L"kelvra.lite.set_import_progress:-1,"
        L"kelvra.lite.set_import_progress:0xFFFFFFFF,#32868:7,"
        L"kelvra.lite.close_window"},
       {L"LITE_TEST_SETUP_ANSWERS", answers},
       {L"LITE_TEST_SETUP_RECORD", record},
       {L"LITE_TEST_SETUP_EXIT_CODE", L"3221225477"}});
  EXPECT_EQ(3221225477u, code);
  ASSERT_EQ(7u, received.messages.size());
  const wchar_t* names[] = {
      L"kelvra.lite.set_install_progress", L"kelvra.lite.set_import_progress",
      L"kelvra.corp.user_browser_exists", L"kelvra.lite.set_import_progress",
      L"kelvra.lite.set_import_progress"};
  WPARAM wparams[] = {3, 55, 0, static_cast<WPARAM>(-1), 0xFFFFFFFFu};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(::RegisterWindowMessageW(names[i]), received.messages[i].first);
    EXPECT_EQ(wparams[i], received.messages[i].second);
  }
  // "#32868" is posted: it may arrive before or after the message sent
  // after it.
  int posted = received.messages[5].first == WM_APP + 100 ? 5 : 6;
  EXPECT_EQ(static_cast<UINT>(WM_APP + 100), received.messages[posted].first);
  EXPECT_EQ(7u, received.messages[posted].second);
  EXPECT_EQ(::RegisterWindowMessageW(L"kelvra.lite.close_window"),
            received.messages[posted == 5 ? 6 : 5].first);
  // The answer to 0xFFFFFFFF is wParam + 1 in the width of a WPARAM.
  std::string wrapped = sizeof(WPARAM) == 4 ? "0" : "4294967296";
  EXPECT_EQ(
      "kelvra.lite.set_install_progress=4\nkelvra.lite.set_import_progress=56\n"
      "kelvra.corp.user_browser_exists=1\n"
      "kelvra.lite.set_import_progress=0\n"
      "kelvra.lite.set_import_progress=" + wrapped + "\n"
      "#32868=0\nkelvra.lite.close_window=1\n",
      lite_util::ReadFileForTest(answers));
  EXPECT_NE(std::string::npos,
            lite_util::ReadFileForTest(record).find("--progress-window=" +
                                  lite_util::WideToUtf8(handle)));
  ::DeleteFileW(answers.c_str());
  ::DeleteFileW(record.c_str());
}

TEST(TestSetupTest, LeavesTheBrowsersMessageWindowBehindForAWhile) {
  std::wstring record = TempFile(L"lite_test_setup_record2.txt");
  ASSERT_EQ(nullptr,
            ::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserClass, nullptr));
  DWORD code = RunTestSetup(L"--source=lite",
                            {{L"LITE_TEST_SETUP_BROWSER_WINDOW_MS", L"3000"},
                             {L"LITE_TEST_SETUP_RECORD", record}});
  EXPECT_EQ(0u, code);
  // The setup has ended; its "browser" still owns the window.
  EXPECT_NE(nullptr,
            ::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserClass, nullptr));
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    ::Sleep(100);
    gone = !::FindWindowExW(HWND_MESSAGE, nullptr, kBrowserClass, nullptr);
  }
  EXPECT_TRUE(gone);
  ::DeleteFileW(record.c_str());
}

}  // namespace
