#include "installer/install/installer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "installer/brand/brand_info.h"
#include "installer/install/elevation/elevated_installer_process.h"
#include "installer/install/install_statistics.h"
#include "installer/install/installer_delegate.h"
#include "installer/install/setup/delayed_params.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

class RecordingDelegate : public InstallerDelegate {
 public:
  void OnDownloadProgress(float) override {}
  void OnSlowDownload() override {}
  void OnRemainingTime(int, int) override {}
  void OnFinished(bool success) override {
    calls.push_back(std::string("OnFinished ") + (success ? "1" : "0"));
  }
  void OnError(int result) override {
    calls.push_back("OnError " + std::to_string(result));
  }
  HWND GetWindowHandle() override { return nullptr; }
  void SetProgress(int percent) override {
    calls.push_back("SetProgress " + std::to_string(percent));
  }
  void OnSetupStarted() override {}
  std::vector<std::string> calls;
};

// Keeps the events the flow reports, in order, as text.
class RecordingStatistics : public InstallStatistics {
 public:
  explicit RecordingStatistics(std::vector<std::string>* events)
      : events_(events) {}
  void SetParameter(const std::string& name, const std::string& value) override {
    if (name == "install_type") Add("install_type=" + value);
  }
  void PersistParameters() override { Add("persist"); }
  void InstallerStarted() override { Add("installer_started"); }
  void DownloadFinished(int64_t) override { Add("download_finished"); }
  void SetupArchiveLockError() override { Add("lock_error"); }
  void VerificationError() override { Add("verification_error"); }
  void SetupLaunched(bool elevated) override {
    Add(std::string("setup_launched elevated=") + (elevated ? "1" : "0"));
  }
  void SetupExited(const SetupRunOutcome& outcome, int64_t) override {
    Add(std::string("setup_exited started=") + (outcome.started ? "1" : "0") +
        " code=" + std::to_string(outcome.exit_code));
  }

 private:
  void Add(const std::string& event) { events_->push_back(event); }
  std::vector<std::string>* events_;
};

// The flow with its outside steps replaced: the download writes |archive_|
// or fails with |download_result_|, verification answers |verified_|, the
// setup "runs" with |setup_exit_code_| semantics of the real runner.
class ScriptedInstaller : public Installer {
 public:
  ScriptedInstaller(InstallerDelegate* delegate, const BrandInfo* brand)
      : Installer(delegate, brand, nullptr, false) {
    SetStatisticsForTesting(std::unique_ptr<InstallStatistics>(
        new RecordingStatistics(&events_)));
  }

  std::vector<std::string> events_;
  std::wstring report_url_;
  bool report_ok_ = true;

  int download_result_ = 0;
  bool verified_ = true;
  // Downloads that report a resumed archive, and the verification answers
  // from the second one on (|verified_| answers the first).
  int resumed_downloads_ = 0;
  bool later_verified_ = true;
  int downloads_ = 0;
  int verifications_ = 0;
  std::vector<std::wstring> archives_;
  bool setup_ok_ = true;
  uint32_t setup_failure_kind_ = 0;
  std::wstring seen_archive_;
  std::string archive_bytes_seen_;
  lite_util::ScopedEventHandle setup_ran_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  using Installer::InstallBrowser;

 protected:
  int DownloadModule(HANDLE file) override {
    if (download_result_ != 0) return download_result_;
    DWORD written = 0;
    ::WriteFile(file, "MZ archive", 10, &written, nullptr);
    set_archive_resumed(downloads_++ < resumed_downloads_);
    return 0;
  }
  bool VerifyModule(const std::wstring& path) override {
    seen_archive_ = path;
    archives_.push_back(path);
    if (verifications_++ > 0) return later_verified_;
    std::ifstream in(lite_util::WideToUtf8(path), std::ios::binary);
    archive_bytes_seen_.assign(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
    return verified_;
  }
  bool Download(const std::wstring& url, std::string*,
                std::wstring* error) override {
    report_url_ = url;
    if (!report_ok_) *error = L"final_query_info-500";
    return report_ok_;
  }
  bool RunModule(const std::wstring&) override {
    SetFailureKind(setup_failure_kind_);
    ::SetEvent(setup_ran_.Get());
    return setup_ok_;
  }
};

class InstallerFlowTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"lite_installer_flow\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    brand_.reset(new BrandInfo(dir_));
    SetFailureKind(0);
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    SetFailureKind(0);
  }
  std::vector<std::wstring> TempFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir_ + L"kb*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
  }

  std::wstring dir_;
  std::unique_ptr<BrandInfo> brand_;
  std::vector<LogRecord> records_;
};

TEST_F(InstallerFlowTest, SuccessfulRunVerifiesTheDownloadedArchiveAndDeletesIt) {
  ScriptedInstaller installer(nullptr, brand_.get());
  installer.AllowInstallation();
  EXPECT_EQ(0, installer.InstallBrowser());
  EXPECT_EQ("MZ archive", installer.archive_bytes_seen_);
  EXPECT_EQ(0u, installer.seen_archive_.find(dir_ + L"kb"));
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(InstallerFlowTest, FailuresGiveTheirResultsAndExitCodes) {
  struct Case {
    int download_result;
    bool verified;
    bool setup_ok;
    uint32_t failure_kind;
    int result;
    int exit_code;
  } cases[] = {
      {2, true, true, 0, 2, kArchiveNotObtained},
      {3, true, true, 0, 3, kArchiveNotObtained},
      {0, false, true, 0, 1, kArchiveNotVerified},
      {0, true, false, 0, 1, kSetupNeverRan},
  };
  for (const Case& c : cases) {
    ScriptedInstaller installer(nullptr, brand_.get());
    installer.download_result_ = c.download_result;
    installer.verified_ = c.verified;
    installer.setup_ok_ = c.setup_ok;
    installer.AllowInstallation();
    EXPECT_EQ(c.result, installer.InstallBrowser());
    EXPECT_EQ(c.exit_code, installer.setup_exit_code());
    EXPECT_TRUE(TempFiles().empty());
  }
}

TEST_F(InstallerFlowTest, AResumedArchiveThatFailsVerificationIsFetchedOnceMore) {
  struct Case {
    int resumed_downloads;
    bool later_verified;
    int result;
    int downloads;
  } cases[] = {
      // Put together from two answers: one fresh download, which passes.
      {1, true, 0, 2},
      // The fresh download fails as well: no third one.
      {1, false, 1, 2},
      {2, false, 1, 2},
      // Downloaded whole and refused: nothing to try again.
      {0, true, 1, 1},
  };
  for (const Case& c : cases) {
    ScriptedInstaller installer(nullptr, brand_.get());
    installer.verified_ = false;
    installer.resumed_downloads_ = c.resumed_downloads;
    installer.later_verified_ = c.later_verified;
    installer.AllowInstallation();
    EXPECT_EQ(c.result, installer.InstallBrowser());
    EXPECT_EQ(c.downloads, installer.downloads_);
    if (c.result != 0) {
      EXPECT_EQ(kArchiveNotVerified, installer.setup_exit_code());
    }
    // Each download went to a file of its own, and none is left.
    if (installer.archives_.size() == 2) {
      EXPECT_NE(installer.archives_[0], installer.archives_[1]);
    }
    EXPECT_TRUE(TempFiles().empty());
  }
}

TEST_F(InstallerFlowTest, StopBeforePermissionWinsOverPermission) {
  ScriptedInstaller installer(nullptr, brand_.get());
  installer.AllowInstallation();
  ASSERT_TRUE(installer.WaitForInstallAsync());  // sets the stop event
  EXPECT_EQ(1, installer.InstallBrowser());
  EXPECT_TRUE(installer.seen_archive_.empty());
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(InstallerFlowTest, SetupExitCodesSevenAndEightBecomeResultsFiveAndSix) {
  for (uint32_t kind : {kFailureSetupExitCode7, kFailureSetupExitCode8}) {
    RecordingDelegate delegate;
    ScriptedInstaller installer(&delegate, brand_.get());
    installer.setup_ok_ = false;
    installer.setup_failure_kind_ = kind;
    ASSERT_TRUE(installer.StartInstallAsync());
    installer.AllowInstallation();
    ASSERT_EQ(WAIT_OBJECT_0,
              ::WaitForSingleObject(installer.setup_ran_.Get(), 30000));
    // Even when the window closes at once, the setup's failure is shown.
    ASSERT_TRUE(installer.WaitForInstallAsync());
    EXPECT_EQ(std::vector<std::string>{"OnError " + std::to_string(kind)},
              delegate.calls);
  }
}

TEST_F(InstallerFlowTest, FinishingLoopWaitsForTheBrowserUntilStopped) {
  RecordingDelegate delegate;
  ScriptedInstaller installer(&delegate, brand_.get());
  ASSERT_TRUE(installer.StartInstallAsync());
  installer.AllowInstallation();
  // The setup "ran"; the install thread now looks for the browser's window
  // every 20 s, and the window's closing (the stop event) ends the wait.
  ASSERT_EQ(WAIT_OBJECT_0,
            ::WaitForSingleObject(installer.setup_ran_.Get(), 30000));
  ::Sleep(200);
  DWORD start = ::GetTickCount();
  EXPECT_TRUE(installer.WaitForInstallAsync());
  EXPECT_LT(::GetTickCount() - start, 10000u);
  // A successful run that was stopped while waiting reports nothing more.
  EXPECT_TRUE(delegate.calls.empty());
}

TEST_F(InstallerFlowTest, EventsFollowTheFlowAndTheReportEndsIt) {
  ScriptedInstaller installer(nullptr, brand_.get());
  installer.InstallSynchronously();
  EXPECT_EQ((std::vector<std::string>{
                "installer_started", "install_type=normal",
                "download_finished", "persist", "setup_launched elevated=0",
                "setup_exited started=1 code=400"}),
            installer.events_);
  ASSERT_EQ(36u, installer.report_id().size());
  EXPECT_EQ(0u, installer.report_url_.find(
                    L"https://storage.kelvra.example/get/browser/install?ui=" +
                    installer.report_id() + L"&result=success&time=0"))
      << installer.report_url_;
}

TEST_F(InstallerFlowTest, FailuresReportTheirEventsAndResult) {
  struct Case {
    int download_result;
    bool verified;
    bool setup_ok;
    bool cancelled;
    std::vector<std::string> events;
    const wchar_t* result;
  } cases[] = {
      {2, true, true, false, {"installer_started"}, L"&result=failed&"},
      {2, true, true, true, {"installer_started"}, L"&result=cancelled&"},
      {0, false, true, false,
       {"installer_started", "install_type=normal", "download_finished",
        "verification_error"},
       L"&result=failed&"},
      // The setup could not be started.
      {0, true, false, false,
       {"installer_started", "install_type=normal", "download_finished",
        "persist", "setup_launched elevated=0",
        "setup_exited started=0 code=400"},
       L"&result=failed&"},
  };
  for (const Case& c : cases) {
    ScriptedInstaller installer(nullptr, brand_.get());
    installer.download_result_ = c.download_result;
    installer.verified_ = c.verified;
    installer.setup_ok_ = c.setup_ok;
    if (c.cancelled) installer.Cancel();
    installer.InstallSynchronously();
    EXPECT_EQ(c.events, installer.events_);
    EXPECT_NE(std::wstring::npos, installer.report_url_.find(c.result))
        << installer.report_url_;
  }
}

TEST_F(InstallerFlowTest, FailedReportIsLoggedAndChangesNothing) {
  ScriptedInstaller installer(nullptr, brand_.get());
  installer.report_ok_ = false;
  installer.InstallSynchronously();
  EXPECT_EQ(kSetupNeverRan, installer.setup_exit_code());
  bool logged = false;
  for (const LogRecord& record : records_) {
    if (record.severity == lite_util::LOG_ERROR &&
        std::string(record.function_name) == "ReportInstallationFinished" &&
        record.text.find("Cannot report installation status: "
                         "final_query_info-500") == 0) {
      logged = true;
    }
  }
  EXPECT_TRUE(logged);
}

// An elevated copy that "runs" the setup: it reads the block the flow
// wrote and answers as the copy would.
class ScriptedElevatedProcess : public ElevatedInstallerProcess {
 public:
  explicit ScriptedElevatedProcess(bool ok) : ok_(ok) {}
  bool RunModule(HANDLE) override {
    archive_seen = DelayedParamsBlockForTesting()->browser_arc_path;
    return ok_;
  }
  static std::wstring archive_seen;

 private:
  bool ok_;
};
std::wstring ScriptedElevatedProcess::archive_seen;

TEST_F(InstallerFlowTest, ElevatedRunPassesTheArchiveAndEndsWithTheCopysCode) {
  for (bool copy_ok : {true, false}) {
    SCOPED_TRACE(copy_ok);
    ScriptedElevatedProcess::archive_seen.clear();
    ScriptedInstaller installer(nullptr, brand_.get());
    installer.SetElevatedProcess(std::unique_ptr<ElevatedInstallerProcess>(
        new ScriptedElevatedProcess(copy_ok)));
    installer.InstallSynchronously();
    // The copy found the verified archive in the block; this process did
    // not run the setup itself.
    EXPECT_EQ(installer.seen_archive_, ScriptedElevatedProcess::archive_seen);
    EXPECT_EQ(WAIT_TIMEOUT,
              ::WaitForSingleObject(installer.setup_ran_.Get(), 0));
    // The statistics see 400, their mark of an elevated success; the
    // installer's own code becomes the copy's 0 only on success.
    EXPECT_EQ(std::string("setup_exited started=") + (copy_ok ? "1" : "0") +
                  " code=400",
              installer.events_.back());
    EXPECT_EQ(copy_ok ? 0 : kSetupNeverRan, installer.setup_exit_code());
  }
}

}  // namespace
}  // namespace lite_installer
