#include "installer/stats/install_events.h"

#include <gtest/gtest.h>

#include "installer/install/install_clock.h"
#include "installer/stats/persistent_stat_parameters.h"
#include "installer/stats/stat_escape.h"

namespace lite_installer {
namespace {

DownloadAttemptRecord FailedAttempt() {
  DownloadAttemptRecord attempt;
  attempt.success = false;
  attempt.url = L"https://download.test/browser.arc?from_installer=true";
  attempt.attempt_number = 2;
  attempt.downloaded_size = 5000000000ull;  // above 4 GiB: not wrapped
  attempt.total_size = 0;
  attempt.error = L"final_query_info-404-Not found";
  return attempt;
}

TEST(InstallEventsTest, FailedAttemptCarriesErrorSizesAndTwiceEscapedUrl) {
  StatEvent event = DownloadAttemptEvent(FailedAttempt());
  StatEvent expected = {
      {"action", L"download_attempt"},
      {"status", L"failed"},
      {"error", L"final_query_info-404-Not found"},
      {"attempt_number", L"2"},
      {"downloaded_size", L"5000000000"},
      {"total_size", L"0"},
      {"url",
       L"https%3A%2F%2Fdownload.test%2Fbrowser.arc%3Ffrom_"
       L"installer%3Dtrue"},
  };
  EXPECT_EQ(expected, event);

  StatEvent error = DownloadErrorEvent(FailedAttempt());
  EXPECT_EQ((StatEvent{{"action", L"download"},
                       {"stage", L"error"},
                       {"error", L"attempt-2-final_query_info-404-Not found"}}),
            error);
}

TEST(InstallEventsTest, SuccessfulAttemptHasNoErrorButRedirectAndX64) {
  DownloadAttemptRecord attempt;
  attempt.success = true;
  attempt.url = L"a/b c";
  attempt.attempt_number = 1;
  attempt.downloaded_size = 1234;
  attempt.total_size = 1234;
  attempt.redirect_url = L"https://mirror.test:8443/x/y?z";
  attempt.architecture = 1;
  StatEvent event = DownloadAttemptEvent(attempt);
  EXPECT_EQ(L"success", event["status"]);
  EXPECT_EQ(0u, event.count("error"));
  EXPECT_EQ(L"a%2Fb%20c", event["url"]);
  EXPECT_EQ(L"mirror.test", event["redirect"]);
  EXPECT_EQ(L"1", event["x64"]);

  // No redirect, an unparsable one, the 32-bit archive, an empty URL:
  // those fields are left out.
  attempt.url.clear();
  attempt.architecture = 0;
  for (const wchar_t* redirect : {L"", L"not a url"}) {
    attempt.redirect_url = redirect;
    StatEvent plain = DownloadAttemptEvent(attempt);
    EXPECT_EQ(0u, plain.count("redirect")) << redirect;
    EXPECT_EQ(0u, plain.count("x64"));
    EXPECT_EQ(0u, plain.count("url"));
  }
}

TEST(InstallEventsTest, EscapeKeepsOnlyUnreservedCharacters) {
  EXPECT_EQ("azAZ09!'()._~%2D%2A%25%20%0A%C3%A9",
            PercentEscapeBytes("azAZ09!'()._~-*% \n\xC3\xA9"));
  EXPECT_EQ(L"%25252D", EscapeUrlTwice(L"%2D"));
}

TEST(InstallEventsTest, InstallerStartedCarriesResolutionAndDpi) {
  EXPECT_EQ((StatEvent{{"action", L"installer_started"},
                       {"dpi", L"150"},
                       {"resolution", L"1920x1080"}}),
            InstallerStartedEvent(1.5, 1920, 1080));
  EXPECT_EQ(L"100", InstallerStartedEvent(1.0, 800, 600)["dpi"]);
  EXPECT_EQ(L"125", InstallerStartedEvent(1.249999, 800, 600)["dpi"]);
}

TEST(InstallEventsTest, SetupLaunchedIsAnUpdateWithOldVersionAndTellsUac) {
  StatEvent setup = SetupLaunchedEvent("", true, false);
  EXPECT_EQ((StatEvent{{"action", L"setup"},
                       {"stage", L"setup_exe_launched"},
                       {"uac", L"0"}}),
            setup);
  EXPECT_EQ(L"update", SetupLaunchedEvent("23.1.0.1", true, true)["action"]);
  EXPECT_EQ(L"1", SetupLaunchedEvent("", true, true)["uac"]);
  // Consent prompts off (or unreadable) outweighs the elevated copy.
  EXPECT_EQ(L"100", SetupLaunchedEvent("", false, true)["uac"]);
  EXPECT_EQ(L"100", SetupLaunchedEvent("", false, false)["uac"]);
}

TEST(InstallEventsTest, SetupExitedErrorFollowsTheSuccessCodes) {
  struct Case {
    bool started;
    int exit_code;
    bool elevated;
    const wchar_t* error;  // null: no error field
  } cases[] = {
      {true, 0, false, L"0"},       {true, 1, false, nullptr},
      {true, 3, false, nullptr},    {true, 5, false, nullptr},
      {true, 7, false, L"7"},       {true, -2, false, L"-2"},
      {false, 400, false, L"FailedToStart"},
      {true, 400, true, nullptr},   {true, 1, true, L"1"},
      {false, 400, true, L"FailedToStart"},
  };
  for (const Case& c : cases) {
    SetupRunOutcome outcome;
    outcome.started = c.started;
    outcome.exit_code = c.exit_code;
    outcome.elevated_copy = c.elevated;
    StatEvent event = SetupExitedEvent("", outcome, 2999999);
    EXPECT_EQ(L"setup_exe_exited", event["stage"]);
    EXPECT_EQ(L"2", event["setup_time"]);
    if (c.error) {
      EXPECT_EQ(c.error, event["error"]) << c.exit_code;
    } else {
      EXPECT_EQ(0u, event.count("error")) << c.exit_code;
    }
  }
  SetupRunOutcome ran;
  ran.started = true;
  ran.exit_code = 3;
  EXPECT_EQ(L"update", SetupExitedEvent("1.0", ran, 0)["action"]);
}

TEST(InstallEventsTest, DurationsAreWholeSecondsTruncated) {
  EXPECT_EQ(L"0", SecondsText(999999));
  EXPECT_EQ(L"1", SecondsText(1000000));
  EXPECT_EQ(L"61", SecondsText(61999999));
  EXPECT_EQ(L"0", SecondsText(-999999));
  EXPECT_EQ(L"12", DownloadFinishedEvent(12500000)["download_time"]);
}

TEST(InstallEventsTest, DialogEventsNameTheirWindow) {
  EXPECT_EQ((StatEvent{{"clicked_button", L"install"},
                       {"dialog_window", L"liteinstall"}}),
            DialogEvent("clicked_button", L"install"));
  EXPECT_EQ((StatEvent{{"action", L"install_browser_button_clicked"}}),
            InstallButtonClickedEvent());
}

TEST(InstallEventsTest, LaunchedEventNameFromTheBrowserCommandLine) {
  EXPECT_EQ(L"Global\\c:!x!b.exe", LaunchedEventName(L"\"C:\\X\\b.exe\""));
  EXPECT_EQ(L"Global\\c:!x!b.exe", LaunchedEventName(L"C:\\X\\b.exe"));
  EXPECT_EQ(L"Global\\\u0416!ab", LaunchedEventName(L"\u0416\\AB"));
  EXPECT_EQ(L"", LaunchedEventName(L"\"\""));
  EXPECT_EQ(L"", LaunchedEventName(L"ab"));
  EXPECT_EQ(L"Global\\abc", LaunchedEventName(L"abc"));
}

}  // namespace
}  // namespace lite_installer
