#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "installer/install/elevation/admin_group.h"
#include "installer/install/elevation/child_progress_delegate.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/elevation/prompt_owner_window.h"
#include "installer/install/installer.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

constexpr char kTestSeams[] = "LITE_INSTALLER_TEST_SEAMS";
constexpr char kRunasFailure[] = "LITE_INSTALLER_SEAM_RUNAS_FAILURE";

// The texts logged, without the Windows error an error record carries.
std::vector<std::string> Texts(const std::vector<LogRecord>& records) {
  std::vector<std::string> texts;
  for (const LogRecord& r : records)
    texts.push_back(r.text.substr(0, r.text.find(" - ")));
  return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  for (const std::string& t : texts) {
    if (t.find(text) == 0) return true;
  }
  return false;
}

BOOL CALLBACK CountPromptWindow(HWND window, LPARAM count) {
  wchar_t name[32] = {};
  ::GetClassNameW(window, name, 32);
  if (lstrcmpiW(name, L"Static") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Top-level "Static" windows of this thread: the prompt owner windows.
int PromptWindowsOfThisThread() {
  int count = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), CountPromptWindow,
                      reinterpret_cast<LPARAM>(&count));
  return count;
}

class RelaunchTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    ::SetEnvironmentVariableA(kTestSeams, nullptr);
    ::SetEnvironmentVariableA(kRunasFailure, nullptr);
  }
  std::vector<LogRecord> records_;
};

TEST_F(RelaunchTest, AdminGroupOfTheProcessToken) {
  // The platform's user is an administrator.
  EXPECT_TRUE(IsUserAnAdminGroup(::GetCurrentProcess()));
  EXPECT_TRUE(records_.empty());

  EXPECT_FALSE(IsUserAnAdminGroup(nullptr));
  ASSERT_EQ(1u, records_.size());
  EXPECT_EQ("GetProcessToken", std::string(records_[0].function_name));
  EXPECT_EQ("OpenProcessToken fail", Texts(records_)[0]);

  ::SetEnvironmentVariableA(kTestSeams, "token-not-in-admin-group");
  EXPECT_FALSE(IsUserAnAdminGroup(::GetCurrentProcess()));
}

TEST_F(RelaunchTest, ElevationIsNeededOnlyByAnAdministrator) {
  Installer installer(nullptr, nullptr, nullptr, false);
  EXPECT_TRUE(installer.NeedStartThisProcessAsAdmin());
  ::SetEnvironmentVariableA(kTestSeams, "token-not-in-admin-group");
  records_.clear();
  EXPECT_FALSE(installer.NeedStartThisProcessAsAdmin());
  EXPECT_EQ(std::vector<std::string>{"User is not in admin group."},
            Texts(records_));
}

TEST_F(RelaunchTest, FailedStartCleansUpAndOnlyARefusalCountsAsDeclined) {
  struct Case {
    const char* failure;
    bool declined;
  } cases[] = {
      {"1223,0", true},  // ERROR_CANCELLED, as Windows reports a refusal
      {"5,5", true},     // SE_ERR_ACCESSDENIED as the instance code
      {"2,2", false},    // the program was not found
      {"1155,31", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    ::SetEnvironmentVariableA(kRunasFailure, c.failure);
    records_.clear();
    Installer installer(nullptr, nullptr, nullptr, false);
    EXPECT_FALSE(installer.RelaunchAsAdmin());
    EXPECT_EQ(c.declined, installer.uac_declined());
    EXPECT_EQ(nullptr, installer.elevated_process());
    EXPECT_TRUE(Contains(Texts(records_), "ShellExecuteExW failed"));
    // The prompt's owner window is gone, and so are the events: a later
    // relaunch makes them anew.
    EXPECT_EQ(0, PromptWindowsOfThisThread());
    ElevatedInstallerProcess next;
    EXPECT_TRUE(next.events_ready());
  }
}

TEST_F(RelaunchTest, EventsMadeByAnotherProcessAreNotShared) {
  ::SetEnvironmentVariableA(kRunasFailure, "2,2");
  for (const wchar_t* name : {kElevatedGoEventName, kElevatedAbortEventName}) {
    SCOPED_TRACE(lite_util::WideToUtf8(name));
    // Someone who wants to hear (or give) the go made the event first.
    lite_util::ScopedEventHandle squatter(
        ::CreateEventW(nullptr, FALSE, FALSE, name));
    ASSERT_TRUE(squatter.IsValid());
    {
      ElevatedInstallerProcess elevated;
      EXPECT_FALSE(elevated.events_ready());
    }
    records_.clear();
    Installer installer(nullptr, nullptr, nullptr, false);
    EXPECT_FALSE(installer.RelaunchAsAdmin());
    EXPECT_FALSE(installer.uac_declined());
    std::vector<std::string> texts = Texts(records_);
    EXPECT_TRUE(Contains(texts, "Cannot prepare the elevated installer."));
    // Nothing was started.
    EXPECT_FALSE(Contains(texts, "ShellExecuteExW failed"));
  }
  ElevatedInstallerProcess later;
  EXPECT_TRUE(later.events_ready());
}

// The copy's verification, replaced: reports whether the archive could be
// changed, deleted or read while it was being verified.
class VerifyingInstaller : public Installer {
 public:
  explicit VerifyingInstaller(bool verified)
      : Installer(nullptr, nullptr, nullptr, false), verified_(verified) {}
  bool writable = true;
  bool deletable = true;
  bool readable = false;

 protected:
  bool VerifyModule(const std::wstring& path) override {
    lite_util::ScopedFileHandle writer(::CreateFileW(
        path.c_str(), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    writable = writer.IsValid();
    deletable = ::DeleteFileW(path.c_str()) != FALSE;
    lite_util::ScopedFileHandle reader(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    readable = reader.IsValid();
    return verified_;
  }

 private:
  bool verified_;
};

TEST_F(RelaunchTest, CopyHoldsTheArchiveAgainstWritersAndRunsItOnlyVerified) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring archive = std::wstring(temp) + L"lite_copy_archive.tmp";
  for (bool verified : {false, true}) {
    SCOPED_TRACE(verified);
    {
      lite_util::ScopedFileHandle file(::CreateFileW(
          archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
          FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(file.IsValid());
      DWORD written = 0;
      ::WriteFile(file.Get(), "not a program", 13, &written, nullptr);
    }
    records_.clear();
    VerifyingInstaller installer(verified);
    CommandLine setup = CommandLine::FromString(L"fake_browser_arc --x=1");
    // Not a program: when it is run at all, its creation fails.
    EXPECT_FALSE(installer.RunVerifiedModule(archive, setup));
    EXPECT_FALSE(installer.writable);
    EXPECT_FALSE(installer.deletable);
    EXPECT_TRUE(installer.readable);
    std::vector<std::string> texts = Texts(records_);
    EXPECT_EQ(!verified,
              Contains(texts, "Module verification failed: " +
                                  lite_util::WideToUtf8(archive)));
    EXPECT_EQ(verified, Contains(texts, "Run: "));
    EXPECT_EQ(verified ? kSetupNeverRan : kArchiveNotVerified,
              installer.setup_exit_code());
  }
  ::DeleteFileW(archive.c_str());

  // Nothing at that path: nothing to verify or run.
  records_.clear();
  VerifyingInstaller installer(true);
  EXPECT_FALSE(installer.RunVerifiedModule(
      archive, CommandLine::FromString(L"fake_browser_arc")));
  EXPECT_TRUE(installer.writable);  // never asked
  EXPECT_TRUE(Contains(Texts(records_), "Cannot lock file: "));
}

TEST_F(RelaunchTest, PromptOwnerWindowIsAnEmptyToolWindowAtTheMonitorCentre) {
  lite_util::ScopedWindow window(CreatePromptOwnerWindow(true));
  ASSERT_TRUE(window.IsValid());
  EXPECT_TRUE(::IsWindowVisible(window.Get()));
  EXPECT_TRUE(::GetWindowLongW(window.Get(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(::GetWindowLongW(window.Get(), GWL_STYLE) & WS_POPUP);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(::GetMonitorInfoW(
      ::MonitorFromWindow(window.Get(), MONITOR_DEFAULTTONEAREST), &monitor));
  RECT rect = {};
  ::GetWindowRect(window.Get(), &rect);
  const RECT& area = monitor.rcMonitor;
  EXPECT_EQ(area.left + (area.right - area.left) / 2, rect.left);
  EXPECT_EQ(area.top + (area.bottom - area.top) / 2, rect.top);
  EXPECT_EQ(rect.left, rect.right);
  EXPECT_EQ(rect.top, rect.bottom);

  lite_util::ScopedWindow hidden(CreatePromptOwnerWindow(false));
  ASSERT_TRUE(hidden.IsValid());
  EXPECT_FALSE(::IsWindowVisible(hidden.Get()));
}

TEST_F(RelaunchTest, PromptWindowIsDestroyedOnTheThreadThatMadeIt) {
  // The window thread makes the window and runs its messages; the holder
  // is destroyed elsewhere (the install thread, in an installation).
  HWND made = nullptr;
  lite_util::ScopedEventHandle ready(::CreateEventW(nullptr, TRUE, FALSE,
                                                    nullptr));
  std::thread window_thread([&] {
    made = CreatePromptOwnerWindow(false);
    ::SetEvent(ready.Get());
    // Runs its messages until the window is gone (or 30 s have passed,
    // which fails the test below rather than hanging it).
    DWORD start = ::GetTickCount();
    while (::IsWindow(made) && ::GetTickCount() - start < 30000) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&message);
    }
  });
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready.Get(), 10000));
  ASSERT_NE(nullptr, made);
  {
    ElevatedInstallerProcess elevated;
    elevated.Attach(nullptr, made);
  }
  window_thread.join();  // ends once its window is gone
  EXPECT_FALSE(::IsWindow(made));
}

TEST_F(RelaunchTest, ChildDelegateRelaysToTheFirstProcessWindow) {
  lite_util::ScopedWindow parent(::CreateWindowExW(
      0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
      ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(parent.IsValid());
  HWND cancel = ::CreateWindowExW(
      0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent.Get(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelControlId)),
      ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, cancel);
  ChildProgressDelegate delegate(parent.Get());
  EXPECT_EQ(parent.Get(), delegate.GetWindowHandle());
  delegate.OnDownloadProgress(0.5f);
  delegate.SetProgress(40);
  delegate.OnRemainingTime(12, 3);
  delegate.OnSetupStarted();
  MSG message;
  std::vector<std::string> posted;
  while (::PeekMessageW(&message, parent.Get(), 0, 0, PM_REMOVE)) {
    if (message.message >= WM_APP)
      posted.push_back(std::to_string(message.message - WM_APP) + ":" +
                       std::to_string(message.wParam) + ":" +
                       std::to_string(message.lParam));
    ::DispatchMessageW(&message);
  }
  EXPECT_EQ((std::vector<std::string>{"100:40:0", "101:12:3"}), posted);
  EXPECT_EQ(0x8064u, kInstallProgressMessage);
  EXPECT_EQ(0x8065u, kInstallRemainingTimeMessage);
  EXPECT_FALSE(::GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(::IsWindow(cancel));  // hidden, not destroyed
}

}  // namespace
}  // namespace lite_installer
