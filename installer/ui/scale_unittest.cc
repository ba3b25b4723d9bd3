#include "installer/ui/scale.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

TEST(ScaleFactorTest, AcceptsFactorsAboveZeroUpToEight) {
  EXPECT_DOUBLE_EQ(ComputeScaleFactor(L"1.5", 96), 1.5);
  EXPECT_DOUBLE_EQ(ComputeScaleFactor(L"8", 96), 8.0);
  EXPECT_DOUBLE_EQ(ComputeScaleFactor(L"0.25", 144), 0.25);
  EXPECT_EQ(static_cast<int>(728 * ComputeScaleFactor(L"1.5", 96)), 1092);
}

TEST(ScaleFactorTest, BadValuesLeaveItToTheScreen) {
  for (const wchar_t* bad : {L"0", L"-1", L"1e9", L"abc", L"8.5", L"", L"nan",
                             L"inf", L"1.5x", L" "}) {
    SCOPED_TRACE(testing::Message() << bad);
    double factor = 0;
    EXPECT_FALSE(ParseForcedScaleFactor(bad, &factor));
    EXPECT_DOUBLE_EQ(ComputeScaleFactor(bad, 144), 1.5);
    EXPECT_DOUBLE_EQ(ComputeScaleFactor(bad, 96), 1.0);
  }
  EXPECT_DOUBLE_EQ(ComputeScaleFactor(L"", 0), 1.0);
}

}  // namespace
}  // namespace lite_installer
