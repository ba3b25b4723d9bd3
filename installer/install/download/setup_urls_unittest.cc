#include "installer/install/download/setup_urls.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/brand/brand_info.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

bool AllowAll(const std::string& url) { return !url.empty(); }
bool AllowNone(const std::string&) { return false; }

class SetupUrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  void Apply(const std::string& install_object) {
    brand_.ApplyBrandInfo("{\"install\": {" + install_object + "}}");
  }

  std::vector<lite_util::LogRecord> log_;
  BrandInfo brand_{L"C:\\temp\\"};
};

TEST_F(SetupUrlsTest, X64ListsItsOwnUrlThenVersionedThenGeneral) {
  Apply("\"setup_url\": \"https://d/s.arc\","
        "\"setup_url_version\": \"https://d/v.arc\","
        "\"setup_url64\": \"https://d/s64.arc\","
        "\"setup_url32\": \"https://d/s32.arc\"");
  EXPECT_EQ((std::vector<std::string>{"https://d/s64.arc", "https://d/v.arc",
                                      "https://d/s.arc"}),
            GetDownloadUrlsFromBrandConfig(brand_, kArchitectureX64,
                                           &AllowAll));
  EXPECT_EQ((std::vector<std::string>{"https://d/s.arc"}),
            GetDownloadUrlsFromBrandConfig(brand_, kArchitectureX86,
                                           &AllowNone));
  EXPECT_EQ((std::vector<std::string>{"https://d/s32.arc", "https://d/s.arc"}),
            GetDownloadUrlsFromBrandConfig(brand_, kArchitectureX86Preferred,
                                           &AllowNone));
  EXPECT_TRUE(log_.empty());
}

TEST_F(SetupUrlsTest, EmptySettingsAreLeftOutAndWarnedAbout) {
  Apply("\"setup_url\": \"https://d/s.arc\"");
  EXPECT_EQ((std::vector<std::string>{"https://d/s.arc"}),
            GetDownloadUrlsFromBrandConfig(brand_, kArchitectureX64,
                                           &AllowAll));
  EXPECT_EQ(std::vector<std::string>{"Setup url x64 empty!"},
            lite_util::TextsLoggedBy(log_, "GetDownloadUrlsFromBrandConfig"));
  EXPECT_EQ(lite_util::LOG_WARNING, log_[0].severity);

  BrandInfo empty(L"C:\\temp\\");
  EXPECT_TRUE(
      GetDownloadUrlsFromBrandConfig(empty, kArchitectureX86, &AllowAll)
          .empty());
}

TEST_F(SetupUrlsTest, FromInstallerJoinsAnyQuery) {
  EXPECT_EQ("https://d/s.arc?from_installer=true",
            AppendFromInstallerParameter("https://d/s.arc"));
  EXPECT_EQ("https://d/s.arc?brand=x&from_installer=true",
            AppendFromInstallerParameter("https://d/s.arc?brand=x"));
  EXPECT_EQ("https://d/s.arc?from_installer=true",
            AppendFromInstallerParameter("https://d/s.arc?"));
  EXPECT_EQ("https://d/s.arc?a=1&from_installer=true",
            AppendFromInstallerParameter("https://d/s.arc?a=1&"));
  EXPECT_EQ("https://d/s.arc?a=1&from_installer=true#part",
            AppendFromInstallerParameter("https://d/s.arc?a=1#part"));
  EXPECT_EQ("https://d/s.arc?from_installer=true#p?q",
            AppendFromInstallerParameter("https://d/s.arc#p?q"));
}

TEST_F(SetupUrlsTest, XpAndVistaGetTheFixedArchiveWhateverTheBrandSays) {
  Apply("\"setup_url\": \"https://d/s.arc\","
        "\"setup_url64\": \"https://d/s64.arc?x=1\"");
  const std::string xp_url =
      "https://download.kelvra.example/browser-partners/_xp_builds/"
      "browser-setup.arc?from_installer=true";
  for (auto release : {lite_util::kWindowsXp, lite_util::kWindowsVista}) {
    EXPECT_EQ(std::vector<std::string>{xp_url},
              GetSetupUrls(brand_, kArchitectureX64, release, &AllowAll));
  }
  EXPECT_EQ((std::vector<std::string>{
                "https://d/s64.arc?x=1&from_installer=true",
                "https://d/s.arc?from_installer=true"}),
            GetSetupUrls(brand_, kArchitectureX64, lite_util::kWindows7,
                         &AllowAll));
}

TEST(DownloadArchitectureTest, SwitchesWinOverTheSystem) {
  CommandLine none;
  EXPECT_EQ(kArchitectureX64, GetDownloadArchitecture(none, true));
  EXPECT_EQ(kArchitectureX86, GetDownloadArchitecture(none, false));
  CommandLine x64;
  x64.AppendSwitch("download-x64");
  EXPECT_EQ(kArchitectureX64, GetDownloadArchitecture(x64, false));
  CommandLine x32;
  x32.AppendSwitch("download-x32");
  EXPECT_EQ(kArchitectureX86, GetDownloadArchitecture(x32, true));
  x32.AppendSwitch("download-x64");
  EXPECT_EQ(kArchitectureX64, GetDownloadArchitecture(x32, false));
}

TEST(DownloadArchitectureTest, TheSystemUnderWineRunsItsOwnArchitectureOrX64) {
  // Both test builds run on a 64-bit Wine: the 32-bit one through WOW64.
  EXPECT_TRUE(IsX64System());
}

}  // namespace
}  // namespace lite_installer
