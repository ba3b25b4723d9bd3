#include "installer/brand/brand_info.h"
#include "installer/brand/map_distrib_params_for_test.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/brand/distrib_info_params.h"
#include "installer/brand/user_locale.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/user_id.h"
#include "installer/main/command_line.h"
#include "installer/ui/languages.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

using lite_util::LogRecord;

class BrandInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  std::vector<std::string> Texts(const char* function) const {
    return lite_util::TextsLoggedBy(records_, function);
  }

  BrandInfo brand_{L"C:\\temp\\"};
  std::vector<LogRecord> records_;
};

TEST_F(BrandInfoTest, AppliesEveryKeyOfAPackage) {
  brand_.ApplyBrandInfo(
      "//c2lnbmF0dXJl\n"
      "{\"languages\": {\"interface\": \"tr\"},"
      " \"brand_id\": \"tb\", \"brand_name\": \"tb_name\","
      " \"license_url\": \"https://l/\", \"partner_id\": \"p1\","
      " \"urls\": {\"variations\": \"https://v/\", \"abt\": \"https://a/\"},"
      " \"install\": {\"setup_url\": \"https://s/\","
      "   \"setup_url_version\": \"https://sv/\","
      "   \"setup_url64\": \"https://s64/\","
      "   \"setup_url_version64\": \"https://sv64/\","
      "   \"setup_url32\": \"https://s32/\","
      "   \"conf_policy_url\": \"https://c/\","
      "   \"alternate_installer_title\": true,"
      "   \"send_statistics\": false, \"make_browser_default\": false,"
      "   \"scenarios_url\": \"https://o/\", \"slide_url\": \"https://sl/\","
      "   \"slide_url_if_tagged\": \"https://st/\","
      "   \"preloaded_wallpapers_url\": \"https://w/?\","
      "   \"pin\": {}, \"kvpin_trial_state\": \"3\"},"
      " \"overridden_features\": {\"InstallerFacetune2023\":"
      "   {\"enabled\": true, \"params\": {\"firstScreenOff\": true}}}}");
  EXPECT_EQ(brand_.default_language(), "tr");
  EXPECT_EQ(brand_.language_id(), 1055);
  EXPECT_EQ(brand_.brand_id(), "tb");
  EXPECT_EQ(brand_.brand_name(), "tb_name");
  EXPECT_EQ(brand_.setup_url(), "https://s/");
  EXPECT_EQ(brand_.setup_url_version(), "https://sv/");
  EXPECT_EQ(brand_.setup_url64(), "https://s64/");
  EXPECT_EQ(brand_.setup_url_version64(), "https://sv64/");
  EXPECT_EQ(brand_.setup_url32(), "https://s32/");
  EXPECT_EQ(brand_.license_url(), "https://l/");
  EXPECT_EQ(brand_.privacy_policy_url(), "https://c/");
  EXPECT_EQ(brand_.partner_id(), "p1");
  EXPECT_EQ(brand_.scenarios_url(), "https://o/");
  EXPECT_EQ(brand_.slide_url(), "https://sl/");
  EXPECT_EQ(brand_.slide_url_if_tagged(), "https://st/");
  EXPECT_EQ(brand_.variations_url(), "https://v/");
  EXPECT_EQ(brand_.abt_url(), "https://a/");
  EXPECT_EQ(brand_.preloaded_wallpapers_url(), "https://w/?");
  EXPECT_TRUE(brand_.pin_present());
  EXPECT_EQ(brand_.kvpin_trial_state(), "3");
  EXPECT_TRUE(brand_.facetune_enabled());
  EXPECT_TRUE(brand_.facetune_first_screen_off());
  EXPECT_TRUE(brand_.ShowAlternateTitle());
  EXPECT_FALSE(brand_.SendStatisticsByDefault());
  EXPECT_FALSE(brand_.MakeDefaultByDefault());
  EXPECT_EQ(Texts("ApplyBrandInfo"),
            (std::vector<std::string>{
                "Found install.pin",
                "InstallerFacetune2023: enabled = 1, firstScreenOff = 1"}));
}

TEST_F(BrandInfoTest, FirstPackageWinsAndPartnerGoesFirst) {
  // The partner package is applied before the brand package.
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"partner_brand\", \"partner_id\": \"ptn\","
      " \"install\": {\"send_statistics\": false}}");
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"tb\", \"brand_name\": \"tb\","
      " \"install\": {\"send_statistics\": true,"
      "   \"make_browser_default\": true,"
      "   \"setup_url\": \"https://brand/\"}}");
  EXPECT_EQ(brand_.brand_id(), "partner_brand");
  EXPECT_EQ(brand_.partner_id(), "ptn");
  EXPECT_EQ(brand_.brand_name(), "tb");
  EXPECT_EQ(brand_.send_statistics(), kTriStateFalse);
  EXPECT_FALSE(brand_.SendStatisticsByDefault());
  EXPECT_EQ(brand_.make_browser_default(), kTriStateTrue);
  EXPECT_EQ(brand_.setup_url(), "https://brand/");
}

TEST_F(BrandInfoTest, NestedSetupUrlBeatsTopLevelAndTopLevelAloneCounts) {
  brand_.ApplyBrandInfo(
      "{\"install\": {\"setup_url\": \"https://nested/\"},"
      " \"setup_url\": \"https://top/\", \"setup_url64\": \"https://t64/\"}");
  EXPECT_EQ(brand_.setup_url(), "https://nested/");
  EXPECT_EQ(brand_.setup_url64(), "https://t64/");
}

TEST_F(BrandInfoTest, EmptyOrWrongTypedValuesLeaveTheFieldForLaterPackages) {
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"\", \"brand_name\": 5, \"install\":"
      " {\"send_statistics\": \"false\", \"make_browser_default\": null}}");
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"second\", \"brand_name\": \"second_name\","
      " \"install\": {\"send_statistics\": false,"
      "   \"make_browser_default\": false}}");
  EXPECT_EQ(brand_.brand_id(), "second");
  EXPECT_EQ(brand_.brand_name(), "second_name");
  EXPECT_EQ(brand_.send_statistics(), kTriStateFalse);
  EXPECT_EQ(brand_.make_browser_default(), kTriStateFalse);
}

TEST_F(BrandInfoTest, PinCountsWhenPresentAndNotNullAndIsNeverUnset) {
  brand_.ApplyBrandInfo("{\"install\": {\"pin\": null}, \"pin\": {}}");
  EXPECT_FALSE(brand_.pin_present());
  brand_.ApplyBrandInfo("{\"install\": {\"pin\": {}}}");
  EXPECT_TRUE(brand_.pin_present());
  brand_.ApplyBrandInfo("{\"install\": {\"pin\": null}}");
  EXPECT_TRUE(brand_.pin_present());
  EXPECT_EQ(Texts("ApplyBrandInfo"),
            std::vector<std::string>{"Found install.pin"});
}

TEST_F(BrandInfoTest, FacetuneFlagsAreOverwrittenByEveryPackageThatSetsThem) {
  const char kKey[] = "{\"overridden_features\": {\"InstallerFacetune2023\": ";
  brand_.ApplyBrandInfo(std::string(kKey) +
                        "{\"enabled\": true, \"params\":"
                        " {\"firstScreenOff\": true}}}}");
  // A later package turns one flag off; a non-boolean leaves the other.
  brand_.ApplyBrandInfo(std::string(kKey) +
                        "{\"enabled\": false, \"params\":"
                        " {\"firstScreenOff\": 0}}}}");
  EXPECT_FALSE(brand_.facetune_enabled());
  EXPECT_TRUE(brand_.facetune_first_screen_off());
  // A null feature is not read and not logged.
  brand_.ApplyBrandInfo(std::string(kKey) + "null}}");
  EXPECT_EQ(Texts("ApplyBrandInfo"),
            (std::vector<std::string>{
                "InstallerFacetune2023: enabled = 1, firstScreenOff = 1",
                "InstallerFacetune2023: enabled = 0, firstScreenOff = 1"}));
}

TEST_F(BrandInfoTest, RefusedTextChangesNothingButTheLanguageId) {
  brand_.set_default_language("uk");
  brand_.ApplyBrandInfo("{\"brand_id\": \"x\"} /x");
  EXPECT_EQ(brand_.brand_id(), "");
  EXPECT_EQ(brand_.language_id(), 1058);
  brand_.set_default_language("");
  brand_.ApplyBrandInfo("{\"brand_id\": \"x\",}");
  EXPECT_EQ(brand_.brand_id(), "");
  EXPECT_EQ(brand_.language_id(), 1033);
  std::vector<std::string> errors;
  for (const LogRecord& record : records_) {
    if (record.severity == lite_util::LOG_ERROR) errors.push_back(record.text);
  }
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0],
            "Can't parse brand settings: unexpected character (line 1, "
            "column 19)");
}

TEST_F(BrandInfoTest, ResetEmptiesAllButTheKeptFields) {
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"b\", \"languages\": {\"interface\": \"ru\"},"
      " \"urls\": {\"variations\": \"https://v/\", \"abt\": \"https://a/\"},"
      " \"install\": {\"pin\": 1, \"kvpin_trial_state\": \"2\","
      "   \"send_statistics\": false, \"alternate_installer_title\": true},"
      " \"overridden_features\": {\"InstallerFacetune2023\":"
      "   {\"enabled\": true}}}");
  brand_.Reset();
  EXPECT_EQ(brand_.brand_id(), "");
  EXPECT_EQ(brand_.default_language(), "");
  EXPECT_EQ(brand_.language_id(), 1033);
  EXPECT_FALSE(brand_.pin_present());
  EXPECT_EQ(brand_.kvpin_trial_state(), "");
  EXPECT_FALSE(brand_.facetune_enabled());
  EXPECT_EQ(brand_.send_statistics(), kTriStateNotSet);
  EXPECT_EQ(brand_.alternate_installer_title(), kTriStateNotSet);
  EXPECT_EQ(brand_.temp_dir(), L"C:\\temp\\");
  EXPECT_EQ(brand_.variations_url(), "https://v/");
  EXPECT_EQ(brand_.abt_url(), "https://a/");
  EXPECT_EQ(Texts("Clear"), std::vector<std::string>{"Reset brand info."});
}

TEST_F(BrandInfoTest, DefaultsWithoutAnyPackage) {
  brand_.ApplyBrandDefaults();
  EXPECT_EQ(brand_.brand_id(), "kelvra");
  EXPECT_EQ(brand_.brand_name(), "kelvra");
  EXPECT_EQ(brand_.partner_id(), "");
  EXPECT_EQ(brand_.setup_url(),
            "https://" KELVRA_DOWNLOAD_HOST "/browser/kelvra/browser-setup.arc");
  EXPECT_EQ(brand_.scenarios_url(), "https://" KELVRA_DOWNLOAD_HOST
                                    "/browser/installer/orvix/scenarios/");
  EXPECT_EQ(brand_.license_url(),
            "https://" KELVRA_LEGAL_HOST "/browser_agreement/");
  EXPECT_EQ(brand_.privacy_policy_url(),
            "https://" KELVRA_LEGAL_HOST "/confidential/");
  EXPECT_EQ(brand_.variations_url(),
            "https://" KELVRA_BROWSER_API_HOST
            "/content/get/experiments/browser.proto");
  EXPECT_EQ(brand_.abt_url(), "https://" KELVRA_ABT_API_HOST "/ab/get");
  EXPECT_EQ(brand_.default_language(), GetUserInterfaceLanguageCode());
  EXPECT_EQ(brand_.language_id(),
            LanguageIdFromCode(GetUserInterfaceLanguageCode()));
  EXPECT_EQ(brand_.setup_url_version(), "");
  EXPECT_EQ(brand_.slide_url(), "");
  EXPECT_EQ(brand_.preloaded_wallpapers_url(), "");
  EXPECT_TRUE(brand_.SendStatisticsByDefault());
  EXPECT_TRUE(brand_.MakeDefaultByDefault());
  EXPECT_FALSE(brand_.ShowAlternateTitle());
}

TEST_F(BrandInfoTest, DefaultsKeepPackageValuesAndFollowTheBrandId) {
  brand_.ApplyBrandInfo("{\"brand_id\": \"tb\", \"license_url\": \"https://l\"}");
  brand_.set_default_language("kk");  // the "lang" distribution parameter
  brand_.ApplyBrandDefaults();
  EXPECT_EQ(brand_.brand_name(), "tb");
  EXPECT_EQ(brand_.setup_url(),
            "https://" KELVRA_DOWNLOAD_HOST "/browser/tb/browser-setup.arc");
  EXPECT_EQ(brand_.license_url(), "https://l");
  EXPECT_EQ(brand_.default_language(), "kk");
  EXPECT_EQ(brand_.language_id(), 1087);
}

TEST_F(BrandInfoTest, DefaultsTakeTheSeamedInterfaceLanguage) {
  ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID", "1046");
  brand_.ApplyBrandDefaults();
  ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID", nullptr);
  EXPECT_EQ(brand_.default_language(), "pt-BR");
  EXPECT_EQ(brand_.language_id(), 1046);
}

TEST_F(BrandInfoTest, LogBrandInfoWritesTheRecordInOrder) {
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"b\", \"brand_name\": \"n\","
      " \"languages\": {\"interface\": \"de\"},"
      " \"install\": {\"setup_url\": \"s\", \"setup_url_version\": \"sv\","
      "   \"setup_url64\": \"s64\", \"setup_url_version64\": \"sv64\","
      "   \"setup_url32\": \"s32\", \"scenarios_url\": \"o\","
      "   \"slide_url\": \"sl\", \"slide_url_if_tagged\": \"st\","
      "   \"alternate_installer_title\": true, \"send_statistics\": false,"
      "   \"preloaded_wallpapers_url\": \"w\"}}");
  records_.clear();
  brand_.LogBrandInfo();
  EXPECT_EQ(Texts("LogBrandInfo"),
            (std::vector<std::string>{
                "Brand id: b", "Brand name: n", "Setup url: s",
                "Versioned setup url: sv", "Setup url64: s64",
                "Versioned setup url64: sv64", "Setup url32: s32",
                "Default language: de", "Orvix install scenarios url: o",
                "Install slide url by default: sl",
                "Install slide url if tagged installer: st",
                "Show international title: 1",
                "Send browser's statistics: 0",
                "Make browser default after import: 1",
                "Preloaded wallpapers url: w"}));
  ASSERT_EQ(records_.size(), 15u);
  for (const LogRecord& record : records_)
    EXPECT_EQ(record.severity, lite_util::LOG_INFO);
}

TEST(AppendBrandParametersTest, AddsNonEmptyParametersInOrder) {
  EXPECT_EQ(AppendBrandParameters("https://h/p", "b", "p", "u", "1.2"),
            "https://h/p?brand=b&partner=p&uid=u&version=1.2");
  EXPECT_EQ(AppendBrandParameters("https://h/p?x=1", "b", "", "", "1.2"),
            "https://h/p?x=1&brand=b&version=1.2");
  EXPECT_EQ(AppendBrandParameters("https://h/p", "", "", "", ""),
            "https://h/p");
  EXPECT_EQ(AppendBrandParameters("", "", "p", "u", ""), "?partner=p&uid=u");
  // Values go in percent-encoded; a user id read from the profile with a
  // control character is left out.
  EXPECT_EQ(AppendBrandParameters("h", "a b&c", "", "", ""),
            "h?brand=a%20b%26c");
  EXPECT_EQ(AppendBrandParameters("h", "b", "", "u\r\nX-Injected: yes", "1"),
            "h?brand=b&version=1");
  EXPECT_EQ(AppendBrandParameters("h", "", "", "u&brand=evil", ""),
            "h?uid=u%26brand%3Devil");
}

TEST_F(BrandInfoTest, ServiceUrlsCarryTheUserIdAndTheVersion) {
  brand_.ApplyBrandInfo(
      "{\"brand_id\": \"b\", \"partner_id\": \"p\", \"urls\":"
      " {\"variations\": \"https://v/seed\", \"abt\": \"https://a/ab?x=1\"}}");
  std::string variations = brand_.GetVariationsUrl();
  std::string abt = brand_.GetAbtUrl();
  // The user id exists once asked for; the services take it without braces.
  std::string id = lite_util::GetUserIdInternal();
  std::string uid = id.size() == 38 ? id.substr(1, 36) : id;
  std::string tail = uid.empty() ? "" : "&uid=" + uid;
  EXPECT_EQ(variations,
            "https://v/seed?brand=b&partner=p" + tail + "&version=23.5.4.674");
  EXPECT_EQ(abt,
            "https://a/ab?x=1&brand=b&partner=p" + tail + "&version=23.5.4.674");
}

TEST_F(BrandInfoTest, KvpinStateComesFromSettingsSwitchOrParameter) {
  const struct {
    const char* settings;
    const wchar_t* command_line;
    const char* kvpin_param;  // null: absent
    int expected;
  } kCases[] = {
      // No pin: 1, whatever else is given.
      {"{}", L"p --kvpin-state=2", "2", 1},
      {"{\"install\": {\"kvpin_trial_state\": \"2\"}}", L"p", nullptr, 1},
      // The settings' state first, then the switch, then the parameter.
      {"{\"install\": {\"pin\": {}, \"kvpin_trial_state\": \"3\"}}",
       L"p --kvpin-state=2", "2", 3},
      {"{\"install\": {\"pin\": {}}}", L"p --kvpin-state=2", "3", 2},
      {"{\"install\": {\"pin\": {}}}", L"p", "3", 3},
      {"{\"install\": {\"pin\": {}}}", L"p", nullptr, 0},
      {"{\"install\": {\"pin\": true, \"kvpin_trial_state\": \"7\"}}", L"p",
       nullptr, 0},
      {"{\"install\": {\"pin\": true, \"kvpin_trial_state\": \"x\"}}", L"p",
       "2", 0},
      // Facetune turns the offer off before anything else.
      {"{\"install\": {\"pin\": {}, \"kvpin_trial_state\": \"2\"},"
       " \"overridden_features\": {\"InstallerFacetune2023\":"
       " {\"enabled\": true}}}",
       L"p", nullptr, 0},
  };
  for (const auto& test_case : kCases) {
    BrandInfo brand(L"");
    brand.ApplyBrandInfo(test_case.settings);
    std::map<std::string, std::string> params;
    if (test_case.kvpin_param) params["kvpin"] = test_case.kvpin_param;
    MapParams distrib(params);
    EXPECT_EQ(brand.GetKvpinTrialState(
                  distrib, CommandLine::FromString(test_case.command_line)),
              test_case.expected)
        << test_case.settings;
  }
}

TEST_F(BrandInfoTest, KvpinStateWithoutPinWarnsAboutTheSettingsState) {
  brand_.ApplyBrandInfo("{\"install\": {\"kvpin_trial_state\": \"2\"}}");
  MapParams distrib{ParamMap()};
  EXPECT_EQ(brand_.GetKvpinTrialState(distrib, CommandLine::FromString(L"p")),
            1);
  ASSERT_EQ(Texts("GetKvpinTrialState"),
            std::vector<std::string>{"No install.pin for kvpin_state=2"});
  EXPECT_EQ(records_.back().severity, lite_util::LOG_WARNING);
}

TEST(ParseKvpinTrialStateTest, OnlyDecimalNumbersFromZeroToThree) {
  const std::map<std::string, int> kCases = {
      {"0", 0},  {"1", 1},   {"2", 2},   {"3", 3},     {"03", 3},
      {"+2", 2}, {"-0", 0},  {"4", 0},   {"-1", 0},    {"7", 0},
      {"x", 0},  {"2x", 0},  {" 2", 0},  {"", 0},      {"-", 0},
      {"4294967298", 0},     {"99999999999999999999", 0}};
  for (const auto& test_case : kCases)
    EXPECT_EQ(ParseKvpinTrialState(test_case.first), test_case.second)
        << test_case.first;
}

}  // namespace
}  // namespace lite_installer
