#include "installer/brand/web_page_urls.h"

#include <gtest/gtest.h>

#include "service_hosts.h"

namespace lite_installer {
namespace {

constexpr char kTail[] = "full=1&code=lite_install_failed";

TEST(DownloadPageUrlTest, CountryVariantFollowsTheBrandId) {
  struct Case {
    const char* brand_id;
    const char* host;
  } cases[] = {
      {"by", KELVRA_WEBSITE_HOST_BY},
      {"int", KELVRA_WEBSITE_HOST_INT},
      {"tb", KELVRA_WEBSITE_HOST_TR},
      {"ua", KELVRA_WEBSITE_HOST_UA},
      {"ua-uk", KELVRA_WEBSITE_HOST_UA},
      {"ua-ru", KELVRA_WEBSITE_HOST_UA},
      {"kelvra", KELVRA_WEBSITE_HOST_RU},
      // Underscores are not the Ukrainian ids; unknown ids fall back too.
      {"ua_uk", KELVRA_WEBSITE_HOST_RU},
      {"ua_ru", KELVRA_WEBSITE_HOST_RU},
      {"BY", KELVRA_WEBSITE_HOST_RU},
      {"", KELVRA_WEBSITE_HOST_RU},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildDownloadPageUrl(c.brand_id, {}),
              std::string("https://") + c.host + "/download?" + kTail)
        << c.brand_id;
  }
}

TEST(DownloadPageUrlTest, CarriesOnlyTheKnownKeysInKeyOrder) {
  EXPECT_EQ(BuildDownloadPageUrl("ua_uk", {{"lang", "uk"}, {"foo", "1"}}),
            std::string("https://" KELVRA_WEBSITE_HOST_RU "/download?lang=uk&") +
                kTail);
  DistribParamsMap all = {
      {"tablo", "12"},    {"kvpartner_id", "11"}, {"partner_id", "10"},
      {"lang", "9"},      {"football", "8"},      {"expcalypso", "7"},
      {"custo", "6"},     {"calypso", "5"},       {"bgid", "4"},
      {"betacusto", "3"}, {"beta", "2"},          {"banerid", "1"},
      {"def", "1"},       {"", "empty"},          {"LANG", "x"},
      {"stat", "2"},      {"kvpin", "2"},
  };
  EXPECT_EQ(BuildDownloadPageUrl("by", all),
            std::string("https://" KELVRA_WEBSITE_HOST_BY "/download?"
                        "banerid=1&beta=2&betacusto=3&bgid=4&calypso=5&"
                        "custo=6&expcalypso=7&football=8&kvpartner_id=11&"
                        "lang=9&partner_id=10&tablo=12&") +
                kTail);
  // Values go in as they are, empty ones too.
  EXPECT_EQ(BuildDownloadPageUrl("int", {{"custo", "a b=c"}, {"beta", ""}}),
            std::string("https://" KELVRA_WEBSITE_HOST_INT "/download?"
                        "beta=&custo=a b=c&") +
                kTail);
}

TEST(LicenseUrlTest, AddsTheLanguageWidenedByteByByte) {
  EXPECT_EQ(BuildLicenseUrlWithLanguage(
                "https://legal.example/browser_agreement/", "tr"),
            L"https://legal.example/browser_agreement/?lang=tr");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("https://l.example/a", "\xe9"),
            L"https://l.example/a?lang=\x00e9");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("", ""), L"?lang=");
}

}  // namespace
}  // namespace lite_installer
