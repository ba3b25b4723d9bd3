#include "installer/brand/brand_autodetect.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/brand/user_locale.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

std::string BrandFor(const std::string& region, const std::string& language) {
  std::string brand = "<none>";
  FindBrandNameForLocale(region, language, &brand);
  return brand;
}

TEST(BrandForLocaleTest, FirstMatchingRowWins) {
  EXPECT_EQ(BrandFor("RU", "uk"), "ua_uk");
  EXPECT_EQ(BrandFor("RU", "ru"), "kelvra");
  EXPECT_EQ(BrandFor("RU", "tr"), "kelvra");  // row 2 before row 8
  EXPECT_EQ(BrandFor("UA", "ru"), "ua_ru");
  EXPECT_EQ(BrandFor("UA", "en"), "ua_uk");
  EXPECT_EQ(BrandFor("UA", "uk"), "ua_uk");
  EXPECT_EQ(BrandFor("TR", "ru"), "tb");      // row 5 before row 6
  EXPECT_EQ(BrandFor("TR", "en"), "tb");
  EXPECT_EQ(BrandFor("DE", "ru"), "kelvra");
  EXPECT_EQ(BrandFor("", "uk"), "ua_uk");
  EXPECT_EQ(BrandFor("US", "tr"), "tb");
}

TEST(BrandForLocaleTest, NoRowMatchesOtherOrDifferentlyCasedValues) {
  for (const auto& locale : std::vector<std::pair<std::string, std::string>>{
           {"DE", "de"}, {"DE", "en"}, {"", ""}, {"US", "pt-BR"},
           {"ru", "en"}, {"ua", "en"}, {"tr", "en"}, {"DE", "RU"},
           {"DE", "UK"}, {"RUS", "en"}, {"DE", "ru-RU"}}) {
    std::string brand = "<none>";
    EXPECT_FALSE(FindBrandNameForLocale(locale.first, locale.second, &brand))
        << locale.first << "/" << locale.second;
    EXPECT_EQ(brand, "<none>");
  }
}

// The seams of the test build stand for the user's nation and interface
// language; GetGeoInfoW still turns the nation into its code.
class AutodetectBrandNameTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_USER_GEO_ID", nullptr);
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID", nullptr);
  }
  void SetLocale(const char* geo_id, const char* language_id) {
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_USER_GEO_ID", geo_id);
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID",
                              language_id);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& record : records_) {
      EXPECT_STREQ(record.function_name, "AutodetectBrandName");
      texts.push_back(record.text);
    }
    return texts;
  }
  std::vector<lite_util::LogRecord> records_;
};

// Nation ids of Windows' geographical table.
constexpr char kRussia[] = "203";
constexpr char kUkraine[] = "241";
constexpr char kTurkey[] = "235";
constexpr char kGermany[] = "94";

TEST_F(AutodetectBrandNameTest, LogsRegionLocaleAndTheDetectedBrand) {
  SetLocale(kUkraine, "1049");
  EXPECT_EQ(AutodetectBrandName(), "ua_ru");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"User region: UA",
                                               "User locale: ru",
                                               "Detected brand-name: ua_ru"}));
}

TEST_F(AutodetectBrandNameTest, EveryRowIsReachable) {
  const struct {
    const char* geo_id;
    const char* language_id;
    const char* brand;
  } kCases[] = {
      {kRussia, "1058", "ua_uk"}, {kRussia, "1033", "kelvra"},
      {kUkraine, "1049", "ua_ru"}, {kUkraine, "1033", "ua_uk"},
      {kTurkey, "1033", "tb"},     {kGermany, "1049", "kelvra"},
      {kGermany, "1058", "ua_uk"}, {kGermany, "1055", "tb"},
  };
  for (const auto& test_case : kCases) {
    SetLocale(test_case.geo_id, test_case.language_id);
    EXPECT_EQ(AutodetectBrandName(), test_case.brand)
        << test_case.geo_id << "/" << test_case.language_id;
  }
}

TEST_F(AutodetectBrandNameTest, NoMatchGivesTheDefaultBrand) {
  SetLocale(kGermany, "1031");
  EXPECT_EQ(AutodetectBrandName(), "kelvra");
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "User region: DE", "User locale: de",
                         "Didn't found brand-name. Use default: kelvra"}));
}

TEST_F(AutodetectBrandNameTest, LanguagesWithoutTablesCountAsEnglish) {
  // Spanish with the traditional sort has no string tables of its own.
  SetLocale(kUkraine, "1034");
  EXPECT_EQ(GetUserInterfaceLanguageCode(), "en");
  EXPECT_EQ(AutodetectBrandName(), "ua_uk");
}

TEST_F(AutodetectBrandNameTest, UnknownNationLeavesOnlyTheLanguageRows) {
  // GEOID_NOT_AVAILABLE, and an id GetGeoInfoW does not know.
  for (const char* geo_id : {"-1", "987654"}) {
    records_.clear();
    SetLocale(geo_id, "1058");
    EXPECT_EQ(GetUserRegion(), "") << geo_id;
    EXPECT_EQ(AutodetectBrandName(), "ua_uk") << geo_id;
    EXPECT_EQ(Texts()[0], "User region: ");
  }
  SetLocale("-1", "1049");
  EXPECT_EQ(AutodetectBrandName(), "kelvra");
}

TEST_F(AutodetectBrandNameTest, MalformedSeamValuesAreIgnored) {
  // Without a usable seam the real answers are taken: the same as unset.
  SetLocale(nullptr, nullptr);
  std::string region = GetUserRegion();
  std::string language = GetUserInterfaceLanguageCode();
  SetLocale("12x", "70000");
  EXPECT_EQ(GetUserRegion(), region);
  EXPECT_EQ(GetUserInterfaceLanguageCode(), language);
}

}  // namespace
}  // namespace lite_installer
