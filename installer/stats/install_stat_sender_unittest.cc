#include "installer/stats/install_stat_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/lite_util/lock.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/stats/async_http_requester.h"
#include "installer/stats/persistent_stat_parameters.h"
#include "installer/stats/recording_requester_for_test.h"

namespace lite_installer {
namespace {

class InstallStatSenderTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"install_stat", L"kpv", L"pv",
                                L"InstallerSuccessLaunchCmdLine"}) {
      lite_util::RemoveValueFromBrowserKey(name);
    }
  }
  void TearDown() override { SetUp(); }

  std::unique_ptr<InstallStatSender> NewSender() {
    return std::unique_ptr<InstallStatSender>(new InstallStatSender(
        kLiteInstallerType,
        std::unique_ptr<AsyncHttpRequester>(new RecordingRequester(&urls_))));
  }
  // The "-name=value" field of the last URL, or "absent".
  std::wstring Field(const std::wstring& name) const {
    return StatUrlField(urls_.back(), name);
  }

  std::vector<std::wstring> urls_;
};

TEST_F(InstallStatSenderTest, NewSenderCarriesItsOwnParameters) {
  auto sender = NewSender();
  ASSERT_TRUE(sender->Send(StatEvent()));
  ASSERT_EQ(1u, urls_.size());
  EXPECT_EQ(0u, urls_[0].find(L"https://" + StatisticsHost() +
                              L"/installstats/send/dtype=stred/pid=457/"
                              L"cid=72992/path=extended_stat/vars="));
  EXPECT_EQ(L"false", Field(L"launched"));
  EXPECT_EQ(L"lite", Field(L"installer_type"));
  EXPECT_EQ(L"", Field(L"old_ver"));
  EXPECT_EQ(L"unknown", Field(L"brand_id"));
  // The user id without its braces.
  std::wstring ui = Field(L"ui");
  EXPECT_EQ(36u, ui.size()) << ui;
  // This test program has a version resource of its own or none; either
  // way the field is there.
  EXPECT_NE(L"absent", Field(L"lite_ver"));
}

TEST_F(InstallStatSenderTest, OldVersionComesFromKpvThenPv) {
  lite_util::StoreValueInBrowserKey(L"pv", L"20.1.0.5");
  EXPECT_EQ("20.1.0.5", NewSender()->GetOldVersion());
  lite_util::StoreValueInBrowserKey(L"kpv", L"21.2.0.7");
  EXPECT_EQ("21.2.0.7", NewSender()->GetOldVersion());
}

TEST_F(InstallStatSenderTest, ParametersPersistUntilTheSenderGoes) {
  {
    auto sender = NewSender();
    sender->SetParameter("brand_id", "kelvra");
    sender->SetParameter("new_ver", "24.1.0.1");
    sender->PersistParameters();
    std::wstring stored = lite_util::ReadValueFromBrowserKey(L"install_stat");
    EXPECT_NE(std::wstring::npos, stored.find(L"brand_id\nkelvra\n"));
    EXPECT_NE(std::wstring::npos, stored.find(L"new_ver\n24.1.0.1\n"));

    // A second installer starting meanwhile takes them over, old_ver
    // included (an update stays an update).
    lite_util::StoreValueInBrowserKey(L"kpv", L"23.0.0.1");
    auto second = NewSender();
    second->Send(StatEvent());
    EXPECT_EQ(L"kelvra", Field(L"brand_id"));
    EXPECT_EQ(L"24.1.0.1", Field(L"new_ver"));
    EXPECT_EQ("", second->GetOldVersion());
  }
  EXPECT_EQ(L"", lite_util::ReadValueFromBrowserKey(L"install_stat"));
}

TEST_F(InstallStatSenderTest, LaunchedWhenTheBrowserEventExists) {
  lite_util::StoreValueInBrowserKey(L"InstallerSuccessLaunchCmdLine",
                                    L"\"C:\\Lite Test\\Browser.exe\"");
  lite_util::ScopedEventHandle running(::CreateEventW(
      nullptr, TRUE, FALSE, L"Global\\c:!lite test!browser.exe"));
  ASSERT_TRUE(running.IsValid());
  NewSender()->Send(StatEvent());
  EXPECT_EQ(L"true", Field(L"launched"));
  running.Close();
  NewSender()->Send(StatEvent());
  EXPECT_EQ(L"false", Field(L"launched"));
}

TEST_F(InstallStatSenderTest, DialogEventGoesUnderItsKindThenBack) {
  auto sender = NewSender();
  StatEvent click = {{"clicked_button", L"cancel"}};
  sender->SendDialogEvent(click);
  sender->Send(StatEvent());
  ASSERT_EQ(2u, urls_.size());
  EXPECT_NE(std::wstring::npos,
            urls_[0].find(L"/cid=72696/path=kvbrowser_reinstall_dialog/"));
  EXPECT_NE(std::wstring::npos, urls_[1].find(L"/cid=72992/path=extended_stat/"));
}

}  // namespace
}  // namespace lite_installer
