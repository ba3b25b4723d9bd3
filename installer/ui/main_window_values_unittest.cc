#include "installer/ui/main_window_values.h"

#include <cmath>
#include <limits>

#include "gtest/gtest.h"
#include "installer/brand/predetermined_choices.h"

namespace lite_installer {
namespace {

TEST(MainWindowValuesTest, CheckBoxSetFromChoicesAndKvpin) {
  PredeterminedChoices none;
  PredeterminedChoices both;
  both.default_browser_given = true;
  both.statistics_given = true;
  PredeterminedChoices only_default;
  only_default.default_browser_given = true;
  EXPECT_EQ(3, ComputeCheckBoxSet(none, 0));
  EXPECT_EQ(7, ComputeCheckBoxSet(none, 2));
  EXPECT_EQ(7, ComputeCheckBoxSet(none, 3));
  EXPECT_EQ(3, ComputeCheckBoxSet(none, 1));
  EXPECT_EQ(0, ComputeCheckBoxSet(both, 0));
  EXPECT_EQ(4, ComputeCheckBoxSet(both, 3));
  EXPECT_EQ(2, ComputeCheckBoxSet(only_default, 1));
  EXPECT_EQ(6, ComputeCheckBoxSet(only_default, 2));
}

TEST(MainWindowValuesTest, DownloadFractionMapsFiveToForty) {
  EXPECT_EQ(5, DownloadProgressPercent(0.0f));
  EXPECT_EQ(22, DownloadProgressPercent(0.5f));
  EXPECT_EQ(40, DownloadProgressPercent(1.0f));
  // Out of range and not a number: the nearest end, no undefined cast.
  EXPECT_EQ(5, DownloadProgressPercent(-3.0f));
  EXPECT_EQ(40, DownloadProgressPercent(1e30f));
  EXPECT_EQ(40, DownloadProgressPercent(std::numeric_limits<float>::infinity()));
  EXPECT_EQ(5, DownloadProgressPercent(std::nanf("")));
}

TEST(MainWindowValuesTest, InstallStagesFiveAndSevenOnly) {
  int percent = -1;
  EXPECT_TRUE(InstallStageProgress(5, &percent));
  EXPECT_EQ(75, percent);
  EXPECT_TRUE(InstallStageProgress(7, &percent));
  EXPECT_EQ(79, percent);
  percent = -1;
  for (WPARAM stage : {WPARAM(0), WPARAM(4), WPARAM(6), WPARAM(8),
                       WPARAM(1000), static_cast<WPARAM>(-1),
                       static_cast<WPARAM>(0xFFFFFFFFu)}) {
    EXPECT_FALSE(InstallStageProgress(stage, &percent)) << stage;
  }
  EXPECT_EQ(-1, percent);
}

TEST(MainWindowValuesTest, ImportPercentMapsEightyToHundred) {
  int percent = -1;
  EXPECT_TRUE(ImportProgress(0, &percent));
  EXPECT_EQ(80, percent);
  EXPECT_TRUE(ImportProgress(50, &percent));
  EXPECT_EQ(90, percent);
  EXPECT_TRUE(ImportProgress(56, &percent));
  EXPECT_EQ(91, percent);
  EXPECT_TRUE(ImportProgress(100, &percent));
  EXPECT_EQ(100, percent);
  for (WPARAM p = 0; p <= 100; ++p) {
    ASSERT_TRUE(ImportProgress(p, &percent));
    EXPECT_GE(percent, 80);
    EXPECT_LE(percent, 100);
  }
  percent = -1;
  for (WPARAM bad : {WPARAM(101), WPARAM(1000), static_cast<WPARAM>(-1),
                     static_cast<WPARAM>(0xFFFFFFFFu)}) {
    EXPECT_FALSE(ImportProgress(bad, &percent)) << bad;
  }
  EXPECT_EQ(-1, percent);
}

TEST(MainWindowValuesTest, PostedPercentIsClamped) {
  EXPECT_EQ(0, ClampPostedPercent(0));
  EXPECT_EQ(37, ClampPostedPercent(37));
  EXPECT_EQ(100, ClampPostedPercent(100));
  EXPECT_EQ(100, ClampPostedPercent(1000));
  EXPECT_EQ(0, ClampPostedPercent(static_cast<WPARAM>(-1)));
  int at_ffffffff = ClampPostedPercent(static_cast<WPARAM>(0xFFFFFFFFu));
  // -1 in a 32-bit process, a large positive value in a 64-bit one.
  EXPECT_EQ(sizeof(WPARAM) == 4 ? 0 : 100, at_ffffffff);
}

TEST(MainWindowValuesTest, FacetunePrefixesAndText) {
  EXPECT_EQ(407, ProgressPrefixStringId(0));
  EXPECT_EQ(407, ProgressPrefixStringId(40));
  EXPECT_EQ(408, ProgressPrefixStringId(41));
  EXPECT_EQ(408, ProgressPrefixStringId(90));
  EXPECT_EQ(409, ProgressPrefixStringId(91));
  EXPECT_EQ(409, ProgressPrefixStringId(100));
  EXPECT_EQ(L"75%", ProgressText(L"", 75));
  EXPECT_EQ(L"Installing 91%", ProgressText(L"Installing ", 91));
}

TEST(MainWindowValuesTest, SlideFolder) {
  EXPECT_EQ(L"https://cdn.example/browser/installer/ru/",
            SlideBaseUrl("", false, "ru", "cdn.example"));
  EXPECT_EQ(L"https://cdn.example/browser/installer/facetune/en/",
            SlideBaseUrl("", true, "en", "cdn.example"));
  EXPECT_EQ(L"https://brand.example/slides/",
            SlideBaseUrl("https://brand.example/slides/", true, "en",
                         "cdn.example"));
}

}  // namespace
}  // namespace lite_installer
