#include "installer/crash/crash_reporter.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "installer/crash/crash_upload_transport.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

const std::regex kGuidText(
    "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");

LONG WINAPI MarkerFilter(EXCEPTION_POINTERS*) { return 0; }

class CrashReporterTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }
  std::vector<lite_util::LogRecord> records_;
};

TEST_F(CrashReporterTest, BuiltInAnnotationsDumpPathAndFilter) {
  LPTOP_LEVEL_EXCEPTION_FILTER before =
      ::SetUnhandledExceptionFilter(MarkerFilter);
  {
    CrashReporter reporter;
    const auto& annotations = reporter.annotations();
    ASSERT_EQ(6u, annotations.size());
    EXPECT_EQ("23.5.4.674", annotations.at("ver"));
    EXPECT_EQ("Win32", annotations.at("plat"));
    EXPECT_EQ("Kelvra", annotations.at("prod"));
    EXPECT_EQ("true", annotations.at("gzip_enabled"));
    EXPECT_TRUE(std::regex_match(annotations.at("report_id"), kGuidText));
    EXPECT_TRUE(std::regex_match(annotations.at("uid"), kGuidText));

    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    std::wstring expected = std::wstring(temp, length) +
                            std::wstring(annotations.at("report_id").begin(),
                                         annotations.at("report_id").end()) +
                            L".dmp";
    EXPECT_EQ(expected, reporter.dump_path());
    EXPECT_TRUE(reporter.filter_installed());
    // The reporter's filter replaced the marker, and remembers it.
    LPTOP_LEVEL_EXCEPTION_FILTER current =
        ::SetUnhandledExceptionFilter(MarkerFilter);
    EXPECT_NE(current, MarkerFilter);
    ::SetUnhandledExceptionFilter(current);
  }
  // Destroyed: the previous filter is back.
  EXPECT_EQ(MarkerFilter, ::SetUnhandledExceptionFilter(before));
}

TEST_F(CrashReporterTest, EveryReporterGetsItsOwnReportId) {
  std::string first_id;
  {
    CrashReporter first;
    first_id = first.annotations().at("report_id");
    EXPECT_NE(first_id, first.annotations().at("uid"));
  }
  CrashReporter second;
  EXPECT_NE(first_id, second.annotations().at("report_id"));
}

TEST_F(CrashReporterTest, DistributionParametersNeverReplaceBuiltInKeys) {
  CrashReporter reporter;
  std::string report_id = reporter.annotations().at("report_id");
  reporter.SetAnnotation("ptype", "installer");
  for (const char* key : {"ver", "uid", "prod", "report_id", "plat", "ptype",
                          "gzip_enabled"})
    reporter.AddDistributionParameter(key, "forged");
  reporter.AddDistributionParameter("partner_id", "p7");
  reporter.AddDistributionParameter("guid", "g");
  reporter.AddDistributionParameter("empty", "");

  const auto& annotations = reporter.annotations();
  EXPECT_EQ("23.5.4.674", annotations.at("ver"));
  EXPECT_EQ(report_id, annotations.at("report_id"));
  EXPECT_EQ("installer", annotations.at("ptype"));
  EXPECT_EQ("Kelvra", annotations.at("prod"));
  EXPECT_EQ("p7", annotations.at("partner_id"));
  EXPECT_EQ("g", annotations.at("guid"));
  EXPECT_EQ(0u, annotations.count("empty"));
  for (const auto& annotation : annotations)
    EXPECT_NE("forged", annotation.second) << annotation.first;

  std::vector<std::string> warnings = lite_util::TextsLoggedBy(records_, "Impl");
  ASSERT_EQ(7u, warnings.size());
  EXPECT_EQ(
      "Distribution parameter ver would replace a built-in crash annotation, "
      "skipped",
      warnings[0]);

  // The entry's own SetAnnotation still replaces values.
  reporter.SetAnnotation("brand_id", "1");
  reporter.SetAnnotation("brand_id", "2");
  reporter.SetAnnotation("", "x");
  EXPECT_EQ("2", annotations.at("brand_id"));
  EXPECT_EQ(0u, annotations.count(""));
}

TEST(CrashUserAgentTest, VersionsArchitectureAndWow64) {
  FileVersionNumbers winhttp;
  winhttp.available = true;
  winhttp.parts[0] = 10;
  winhttp.parts[2] = 19041;
  winhttp.parts[3] = 1;
  FileVersionNumbers kernel32 = winhttp;
  kernel32.marked_for_nt = true;
  kernel32.parts[3] = 2;
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1 Windows_NT/10.0.19041.2 "
            "(x86; WoW64)",
            BuildCrashUserAgent(winhttp, kernel32, "x86", true));
  // A failed or negative WoW64 query leaves it out and still closes.
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1 Windows_NT/10.0.19041.2 "
            "(x86)",
            BuildCrashUserAgent(winhttp, kernel32, "x86", false));
  // kernel32 not marked for NT, or no versions at all.
  kernel32.marked_for_nt = false;
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1",
            BuildCrashUserAgent(winhttp, kernel32, "x86", true));
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP",
            BuildCrashUserAgent(FileVersionNumbers(), FileVersionNumbers(),
                                "x86", false));
}

}  // namespace
}  // namespace lite_installer
