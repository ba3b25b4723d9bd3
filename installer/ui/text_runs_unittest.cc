#include "installer/ui/text_runs.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

// Every character 10 units wide.
int Measure(const std::wstring& text) {
  return static_cast<int>(text.size()) * 10;
}

const wchar_t kLicense[] =
    L"By using Kelvra\u00a0Browser, you agree to the terms and conditions "
    L"of the ((License Agreement)).";

TEST(TextRunsTest, TokensAreWordsWithTheirSpacesAndTheLink) {
  std::vector<TextToken> tokens = TokenizeLicenseText(kLicense);
  ASSERT_EQ(tokens.size(), 14u);
  EXPECT_EQ(tokens[0].text, L"By ");
  EXPECT_EQ(tokens[2].text, L"Kelvra\u00a0Browser, ");
  EXPECT_EQ(tokens[11].text, L"the ");
  EXPECT_FALSE(tokens[11].link);
  EXPECT_EQ(tokens[12].text, L"License Agreement");
  EXPECT_TRUE(tokens[12].link);
  EXPECT_EQ(tokens[13].text, L".");
  EXPECT_FALSE(tokens[13].link);
}

TEST(TextRunsTest, LineFeedEndsItsToken) {
  std::vector<TextToken> tokens = TokenizeLicenseText(L"one\ntwo");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].text, L"one\n");
  EXPECT_EQ(tokens[1].text, L"two");
}

TEST(TextRunsTest, TextWithoutMarkersGivesPlainRunsOnly) {
  std::vector<TextRun> runs = BuildTextRuns(
      TokenizeLicenseText(L"Plain words only, no link here at all."),
      Measure, 150, false);
  ASSERT_GT(runs.size(), 1u);
  for (const TextRun& run : runs) EXPECT_FALSE(run.link) << run.line;
}

TEST(TextRunsTest, FullStopStaysOnTheLinkLineEvenWhenTheLineIsFull) {
  // The link run ends exactly at the area's right edge.
  std::vector<TextRun> runs = BuildTextRuns(
      TokenizeLicenseText(L"see ((terms))."), Measure, 90, false);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].text, L"see ");
  EXPECT_EQ(runs[1].text, L"terms");
  EXPECT_TRUE(runs[1].link);
  EXPECT_EQ(runs[1].line, 0);
  EXPECT_EQ(runs[2].text, L".");
  EXPECT_EQ(runs[2].line, 0);
  EXPECT_EQ(runs[2].x, 90);
}

TEST(TextRunsTest, LicenseLineWrapsAndKeepsKindsApart) {
  std::vector<TextRun> runs =
      BuildTextRuns(TokenizeLicenseText(kLicense), Measure, 267, false);
  int link_runs = 0;
  for (const TextRun& run : runs) {
    EXPECT_LE(run.x + run.width, 267 + 10) << run.text.size();
    if (run.link) ++link_runs;
  }
  EXPECT_GE(link_runs, 1);
  EXPECT_EQ(runs.back().text, L".");
  EXPECT_EQ(runs.back().line, runs[runs.size() - 2].line);
  EXPECT_TRUE(runs[runs.size() - 2].link);
  EXPECT_GT(runs.back().line, 0);
}

TEST(TextRunsTest, CentredLinesShareTheSpareWidth) {
  std::vector<TextRun> runs =
      BuildTextRuns(TokenizeLicenseText(L"ab ((cd))"), Measure, 100, true);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].x, 25);   // (100 - 50) / 2
  EXPECT_EQ(runs[1].x, 55);
}

TEST(TextRunsTest, AccessibleNameDropsTheParentheses) {
  EXPECT_EQ(RemoveParentheses(L"the ((License Agreement))."),
            L"the License Agreement.");
}

}  // namespace
}  // namespace lite_installer
