#include "installer/install/setup/setup_process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/installer_delegate.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/lite_util/child_process_test_util.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

constexpr char kCreateErrorSeam[] = "LITE_INSTALLER_SEAM_CREATE_PROCESS_ERROR";
constexpr char kElevatedChildVariable[] = "LITE_ELEVATED_CHILD";

class RecordingDelegate : public InstallerDelegate {
 public:
  void OnDownloadProgress(float) override {}
  void OnSlowDownload() override {}
  void OnRemainingTime(int, int) override {}
  void OnFinished(bool) override {}
  void OnError(int) override {}
  HWND GetWindowHandle() override { return nullptr; }
  void SetProgress(int percent) override {
    calls.push_back("SetProgress " + std::to_string(percent));
  }
  void OnSetupStarted() override { calls.push_back("OnSetupStarted"); }
  std::vector<std::string> calls;
};

class SetupProcessTest : public testing::Test {
 protected:
  void SetUp() override {
    SetFailureKind(kFailureNone);
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    ::SetEnvironmentVariableA(kCreateErrorSeam, nullptr);
    SetFailureKind(kFailureNone);
  }
  std::vector<std::string> Texts() const {
    return lite_util::TextsLoggedBy(records_, "RunModuleAndWait");
  }
  std::vector<LogRecord> records_;
};

TEST_F(SetupProcessTest, ExitCodesOfTheSetup) {
  struct Case {
    DWORD code;
    bool result;
    uint32_t failure_kind;
    const char* text;
  } cases[] = {
      {0, true, kFailureNone, "Setup process exit with code: "},
      {1, true, kFailureNone, "Setup process exit with code: "},
      {7, false, kFailureSetupExitCode7, "Setup process exit with code: "},
      {8, false, kFailureSetupExitCode8, "Setup process exit with code: "},
  };
  for (const Case& c : cases) {
    SetFailureKind(kFailureNone);
    records_.clear();
    RecordingDelegate delegate;
    DWORD exit_code = 12345;
    std::wstring command = L"cmd.exe /c exit " + std::to_wstring(c.code);
    EXPECT_EQ(c.result,
              RunModuleAndWait(nullptr, command, &exit_code, &delegate))
        << c.code;
    EXPECT_EQ(c.code, exit_code);
    EXPECT_EQ(c.failure_kind, GetFailureKind()) << c.code;
    EXPECT_EQ((std::vector<std::string>{"SetProgress 40", "OnSetupStarted"}),
              delegate.calls);
    std::vector<std::string> texts = Texts();
    ASSERT_EQ(4u, texts.size());
    EXPECT_EQ("Run: " + lite_util::WideToUtf8(command), texts[0]);
    EXPECT_EQ(0u, texts[1].find("Process created: "));
    EXPECT_EQ("Wait for process finish.", texts[2]);
    EXPECT_EQ(0u, texts[3].find(c.text));
  }
}

TEST_F(SetupProcessTest, WithoutExitCodeOutputOnlyTheRunCounts) {
  EXPECT_TRUE(RunModuleAndWait(nullptr, L"cmd.exe /c exit 7", nullptr,
                               nullptr));
  EXPECT_EQ(static_cast<uint32_t>(kFailureNone), GetFailureKind());
}

TEST_F(SetupProcessTest, ProcessThatCannotStartKeepsCode400) {
  // A file that is no program: this platform answers 193, which is a bad
  // image and not another machine's setup, so no failure kind.
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  std::wstring bogus = std::wstring(dir) + L"lite_not_a_program.exe";
  std::ofstream(lite_util::WideToUtf8(bogus), std::ios::binary)
      << "MZ this is not a program";
  struct Case {
    std::wstring command;
    const char* seam;
    uint32_t failure_kind;
  } cases[] = {
      {L"\"" + bogus + L"\"", nullptr, kFailureNone},
      {L"C:\\no\\such\\setup.exe", nullptr, kFailureNone},
      {L"cmd.exe /c exit 0", "216", kFailureMachineTypeMismatch},
      {L"cmd.exe /c exit 0", "193", kFailureNone},
  };
  for (const Case& c : cases) {
    SetFailureKind(kFailureNone);
    ::SetEnvironmentVariableA(kCreateErrorSeam, c.seam);
    records_.clear();
    RecordingDelegate delegate;
    DWORD exit_code = 0;
    EXPECT_FALSE(RunModuleAndWait(nullptr, c.command, &exit_code, &delegate));
    EXPECT_EQ(kSetupExitCodeNotRun, exit_code);
    EXPECT_EQ(c.failure_kind, GetFailureKind());
    EXPECT_TRUE(delegate.calls.empty());
    std::vector<std::string> texts = Texts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(0u, texts[1].find("Create process failed."));
    if (c.seam) {
      EXPECT_NE(std::string::npos, texts[1].find(std::string(c.seam) + ", "))
          << texts[1];
    }
  }
  ::DeleteFileW(bogus.c_str());
}

TEST_F(SetupProcessTest, RunModuleRunsTheArchiveWithSourceLite) {
  CommandLine command_line = CommandLine::FromString(L"x --a=b c");
  DWORD exit_code = 0;
  EXPECT_FALSE(RunModule(L"C:\\no\\such\\archive.exe", command_line,
                         &exit_code, nullptr));
  ASSERT_FALSE(Texts().empty());
  EXPECT_EQ("Run: \"C:\\no\\such\\archive.exe\" --a=b --source=lite",
            Texts()[0]);
}

// The elevated copy's stand-in: waits for the go or abort event and exits
// with 0 or 3 accordingly; in mode "hang" it ignores both for a minute.
TEST(ElevatedChildProcess, WaitsForGoOrAbort) {
  char mode[16];
  if (!::GetEnvironmentVariableA(kElevatedChildVariable, mode, sizeof(mode)))
    GTEST_SKIP() << "runs only as the child of the elevated-process tests";
  if (std::string(mode) == "hang") {
    ::Sleep(60000);
    ::ExitProcess(4);
  }
  HANDLE events[2] = {
      ::OpenEventW(SYNCHRONIZE, FALSE, kElevatedGoEventName),
      ::OpenEventW(SYNCHRONIZE, FALSE, kElevatedAbortEventName)};
  ASSERT_NE(nullptr, events[0]);
  ASSERT_NE(nullptr, events[1]);
  DWORD wait = ::WaitForMultipleObjects(2, events, FALSE, 60000);
  ::ExitProcess(wait == WAIT_OBJECT_0 ? 0 : 3);
}

HANDLE StartElevatedChildStandIn(const wchar_t* mode = L"1") {
  return lite_util::StartTestChild(L"--gtest_filter=ElevatedChildProcess.*",
                                   kElevatedChildVariable, mode)
      .Take();
}

TEST_F(SetupProcessTest, ElevatedCopyIsLetGoOrAborted) {
  {
    ElevatedInstallerProcess elevated;
    HANDLE child = StartElevatedChildStandIn();
    ASSERT_NE(nullptr, child);
    elevated.Attach(child, nullptr);
    EXPECT_TRUE(elevated.RunModule(nullptr));
    EXPECT_TRUE(elevated.go_signalled());
    EXPECT_EQ(0u, elevated.exit_code());
  }
  HANDLE watched = nullptr;
  {
    ElevatedInstallerProcess elevated;
    HANDLE child = StartElevatedChildStandIn();
    ASSERT_NE(nullptr, child);
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), child,
                                  ::GetCurrentProcess(), &watched, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    elevated.Attach(child, nullptr);
    // Destroyed without being let go: the copy is told to give up.
  }
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(watched, 0));
  DWORD code = 0;
  ::GetExitCodeProcess(watched, &code);
  ::CloseHandle(watched);
  EXPECT_EQ(3u, code);
}

std::vector<std::string> RunModuleTexts(const std::vector<LogRecord>& records) {
  std::vector<std::string> texts;
  for (const LogRecord& r : records) {
    if (std::string(r.function_name) == "RunModule")
      texts.push_back(r.text.substr(0, r.text.find(" - ")));
  }
  return texts;
}

TEST_F(SetupProcessTest, StopAfterGoStillTakesTheCopysCode) {
  // The window closed while the copy ran the setup: its outcome counts.
  HANDLE stop = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
  {
    ElevatedInstallerProcess elevated;
    HANDLE child = StartElevatedChildStandIn();
    ASSERT_NE(nullptr, child);
    elevated.Attach(child, nullptr);
    EXPECT_TRUE(elevated.RunModule(stop));
    EXPECT_EQ(0u, elevated.exit_code());
    EXPECT_EQ((std::vector<std::string>{
                  "The elevated installer was terminated due to stop event.",
                  "The elevated installer ended after the stop with code 0"}),
              RunModuleTexts(records_));
  }
  ::CloseHandle(stop);
}

TEST_F(SetupProcessTest, CopyIsGivenThirtySecondsToEnd) {
  // After the go (and in the destructor) the parent waits this long for
  // the copy's exit code before it counts the run as failed.
  EXPECT_EQ(30000u, kElevatedProcessFinishTimeoutMs);
  ElevatedInstallerProcess elevated;
  EXPECT_EQ(30000u, elevated.finish_timeout_ms());
}

TEST_F(SetupProcessTest, StoppedParentGivesUpOnACopyThatHangs) {
  HANDLE stop = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
  {
    ElevatedInstallerProcess elevated;
    elevated.set_finish_timeout_ms_for_testing(300);
    HANDLE child = StartElevatedChildStandIn(L"hang");
    ASSERT_NE(nullptr, child);
    elevated.Attach(child, nullptr);
    EXPECT_FALSE(elevated.RunModule(stop));
    EXPECT_EQ(0xFFFFFFFFu, elevated.exit_code());
    EXPECT_EQ((std::vector<std::string>{
                  "The elevated installer was terminated due to stop event."}),
              RunModuleTexts(records_));
    // The destructor's wait runs out too: the copy is terminated.
    elevated.EnsureProcessFinished();
    EXPECT_TRUE(elevated.terminated());
  }
  ::CloseHandle(stop);
}

}  // namespace
}  // namespace lite_installer
