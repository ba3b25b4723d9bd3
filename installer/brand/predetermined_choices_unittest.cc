#include "installer/brand/predetermined_choices.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "installer/brand/distrib_info_params.h"
#include "installer/brand/map_distrib_params_for_test.h"

namespace lite_installer {
namespace {

TEST(PredeterminedChoicesTest, OnlyExactValuesGiveAChoice) {
  struct Case {
    ParamMap params;
    bool default_given, make_default, statistics_given, send_statistics;
  } cases[] = {
      {{}, false, false, false, false},
      {{{"def", "1"}, {"stat", "2"}}, true, true, true, false},
      {{{"def", "2"}, {"stat", "1"}}, true, false, true, true},
      // Anything but "1" and "2" counts as absent.
      {{{"def", "3"}, {"stat", "01"}}, false, false, false, false},
      {{{"def", "1 "}, {"stat", ""}}, false, false, false, false},
      // "statpromo" decides only without a valid "stat".
      {{{"statpromo", "true"}}, false, false, true, true},
      {{{"statpromo", "TRUE"}}, false, false, true, false},
      {{{"statpromo", ""}}, false, false, true, false},
      {{{"stat", "2"}, {"statpromo", "true"}}, false, false, true, false},
      {{{"stat", "x"}, {"statpromo", "true"}}, false, false, true, true},
  };
  for (const Case& c : cases) {
    MapParams params(c.params);
    PredeterminedChoices choices = GetPredeterminedChoices(&params);
    EXPECT_EQ(choices.default_browser_given, c.default_given);
    EXPECT_EQ(choices.make_default, c.make_default);
    EXPECT_EQ(choices.statistics_given, c.statistics_given);
    EXPECT_EQ(choices.send_statistics, c.send_statistics);
  }
  EXPECT_FALSE(GetPredeterminedChoices(nullptr).statistics_given);
}

TEST(PredeterminedChoicesTest, FirstScreenIsSkippedOnlyWithBothChoices) {
  MapParams all({{"first", "1"}, {"def", "2"}, {"stat", "1"}});
  EXPECT_TRUE(IsFirstScreenSkipped(false, false, &all));
  MapParams bad_def({{"first", "1"}, {"def", "3"}, {"stat", "1"}});
  EXPECT_FALSE(IsFirstScreenSkipped(false, false, &bad_def));
  MapParams first_not_one({{"first", "2"}, {"def", "2"}, {"stat", "1"}});
  EXPECT_FALSE(IsFirstScreenSkipped(false, false, &first_not_one));
  // The brand's facetune flags stand in for "first" only together.
  MapParams choices_only({{"def", "1"}, {"statpromo", "x"}});
  EXPECT_TRUE(IsFirstScreenSkipped(true, true, &choices_only));
  EXPECT_FALSE(IsFirstScreenSkipped(true, false, &choices_only));
  EXPECT_FALSE(IsFirstScreenSkipped(false, true, &choices_only));
  EXPECT_FALSE(IsFirstScreenSkipped(true, true, nullptr));
}

}  // namespace
}  // namespace lite_installer
