#include "installer/stats/install_event_statistics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/stats/install_stat_sender.h"
#include "installer/stats/recording_requester_for_test.h"
#include "installer/stats/stat_query_builder.h"

namespace lite_installer {
namespace {

class InstallEventStatisticsTest : public testing::Test {
 protected:
  InstallEventStatisticsTest()
      : statistics_(std::unique_ptr<InstallStatSender>(new InstallStatSender(
                        kLiteInstallerType,
                        std::unique_ptr<AsyncHttpRequester>(
                            new RecordingRequester(&urls_)))),
                    &cancel_count_) {}

  // "action/stage" of each URL sent, "kind:" in front for dialog events.
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (const std::wstring& url : urls_) {
      std::string step;
      if (url.find(L"/path=kvbrowser_reinstall_dialog/") != std::wstring::npos)
        step = "dialog:";
      step += Field(url, L"action") + "/" + Field(url, L"stage");
      steps.push_back(step);
    }
    return steps;
  }
  static std::string Field(const std::wstring& url, const std::wstring& name) {
    std::wstring value = StatUrlField(url, name, L"");
    return std::string(value.begin(), value.end());
  }

  std::vector<std::wstring> urls_;
  volatile LONG cancel_count_ = 0;
  InstallEventStatistics statistics_;
};

DownloadAttemptRecord Attempt(bool success, int number) {
  DownloadAttemptRecord attempt;
  attempt.success = success;
  attempt.attempt_number = number;
  attempt.url = L"https://download.test/a.arc";
  if (!success) attempt.error = L"final_query_info-404";
  return attempt;
}

TEST_F(InstallEventStatisticsTest, FailedAttemptSendsItsErrorEventFirst) {
  statistics_.OnDownloadStarted();
  statistics_.OnDownloadAttempt(Attempt(false, 1));
  statistics_.OnDownloadAttempt(Attempt(true, 2));
  EXPECT_EQ((std::vector<std::string>{"download/started", "download/error",
                                      "download_attempt/",
                                      "download_attempt/"}),
            Steps());
  EXPECT_EQ("attempt_1_final_query_info_404", Field(urls_[1], L"error"));
  EXPECT_EQ("failed", Field(urls_[2], L"status"));
  EXPECT_EQ("success", Field(urls_[3], L"status"));
}

TEST_F(InstallEventStatisticsTest, CancelSilencesAttemptsButNotTheSetup) {
  ::InterlockedIncrement(&cancel_count_);
  statistics_.OnDownloadAttempt(Attempt(false, 1));
  statistics_.OnDownloadAttempt(Attempt(true, 2));
  SetupRunOutcome outcome;
  outcome.started = true;
  outcome.exit_code = 3;
  statistics_.SetupLaunched(false);
  statistics_.SetupExited(outcome, 0);
  EXPECT_EQ((std::vector<std::string>{"setup/setup_exe_launched",
                                      "setup/setup_exe_exited"}),
            Steps());
}

TEST_F(InstallEventStatisticsTest, WindowEventsAndTheirKinds) {
  statistics_.ButtonClicked(L"install");
  statistics_.InstallButtonClicked();
  statistics_.LinkClicked(L"https://legal.test/privacy?lang=ru");
  statistics_.CheckboxChosen(L"sendstat");
  EXPECT_EQ((std::vector<std::string>{
                "dialog:/", "install_browser_button_clicked/", "dialog:/",
                "dialog:/"}),
            Steps());
  EXPECT_EQ("install", Field(urls_[0], L"clicked_button"));
  EXPECT_EQ("liteinstall", Field(urls_[0], L"dialog_window"));
  // ":" may stand in a path segment; "/" and "?" may not.
  EXPECT_EQ("https:%2F%2Flegal.test%2Fprivacy%3Flang_ru",
            Field(urls_[2], L"clicked_link"));
  EXPECT_EQ("sendstat", Field(urls_[3], L"choosen_checkbox"));
}

TEST_F(InstallEventStatisticsTest, ParametersReachLaterEvents) {
  statistics_.SetParameter("new_ver", "24.1.0.1");
  statistics_.SetParameter("install_type", "normal");
  statistics_.DownloadFinished(3500000);
  EXPECT_EQ("24.1.0.1", Field(urls_[0], L"new_ver"));
  EXPECT_EQ("normal", Field(urls_[0], L"install_type"));
  EXPECT_EQ("3", Field(urls_[0], L"download_time"));
}

}  // namespace
}  // namespace lite_installer
