#include "installer/install/elevation/uac_mode.h"

#include <gtest/gtest.h>

#include "installer/brand/map_distrib_params_for_test.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

TEST(UacModeTest, ParsesLeadingDigitsAndRefusesOverflow) {
  EXPECT_EQ(ParseUacValue("1"), 1);
  EXPECT_EQ(ParseUacValue("2abc"), 2);
  EXPECT_EQ(ParseUacValue("abc"), 0);
  EXPECT_EQ(ParseUacValue(""), 0);
  EXPECT_EQ(ParseUacValue("2147483647"), 2147483647);
  EXPECT_EQ(ParseUacValue("2147483648"), 0);
  EXPECT_EQ(ParseUacValue("99999999999999999999"), 0);
}

TEST(UacModeTest, ModeFollowsSwitchesParameterAndFirstScreen) {
  CommandLine plain = CommandLine::FromString(L"lite.exe");
  struct Case {
    ParamMap params;
    int mode;
  } cases[] = {
      {{}, 0},
      {{{"uac", "1"}}, 1},
      {{{"uac", "2"}}, 2},
      {{{"uac", "3"}}, 0},
      {{{"uac", "4294967297"}}, 0},
      // 0 and text: the first-screen rule chooses between 0 and 1.
      {{{"uac", "0"}}, 0},
      {{{"uac", "abc"}}, 0},
      {{{"uac", "abc"}, {"first", "1"}, {"def", "1"}, {"stat", "1"}}, 1},
      {{{"uac", "0"}, {"first", "1"}, {"def", "1"}, {"stat", "1"}}, 1},
      {{{"uac", "2"}, {"first", "1"}, {"def", "1"}, {"stat", "1"}}, 2},
  };
  for (const Case& c : cases) {
    MapParams params(c.params);
    EXPECT_EQ(GetUacMode(nullptr, &params, plain), c.mode);
  }
  MapParams two(ParamMap{{"uac", "2"}});
  EXPECT_EQ(GetUacMode(nullptr, &two,
                       CommandLine::FromString(L"lite.exe --system-level")),
            0);
  EXPECT_EQ(GetUacMode(nullptr, &two,
                       CommandLine::FromString(
                           L"lite.exe --program-files-installation")),
            0);
  EXPECT_EQ(GetUacMode(nullptr, nullptr, plain), 0);
}

}  // namespace
}  // namespace lite_installer
