#include "installer/brand/web_page_urls.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

constexpr char kTail[] = "full=1&code=lite_install_failed";

TEST(DownloadPageUrlTest, CountryVariantFollowsTheBrandId) {
  struct Case {
    const char* brand_id;
    const char* host;
  } cases[] = {
      {"by", "browser.kelvra.by.example"},
      {"int", "browser.kelvra.com.example"},
      {"tb", "browser.kelvra.com.tr.example"},
      {"ua", "browser.kelvra.ua.example"},
      {"ua-uk", "browser.kelvra.ua.example"},
      {"ua-ru", "browser.kelvra.ua.example"},
      {"kelvra", "browser.kelvra.ru.example"},
      // Underscores are not the Ukrainian ids; unknown ids fall back too.
      {"ua_uk", "browser.kelvra.ru.example"},
      {"ua_ru", "browser.kelvra.ru.example"},
      {"BY", "browser.kelvra.ru.example"},
      {"", "browser.kelvra.ru.example"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildDownloadPageUrl(c.brand_id, {}),
              std::string("https://") + c.host + "/download?" + kTail)
        << c.brand_id;
  }
}

TEST(DownloadPageUrlTest, CarriesOnlyTheKnownKeysInKeyOrder) {
  EXPECT_EQ(BuildDownloadPageUrl("ua_uk", {{"lang", "uk"}, {"foo", "1"}}),
            std::string("https://browser.kelvra.ru.example/download?lang=uk&") +
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
            std::string("https://browser.kelvra.by.example/download?"
                        "banerid=1&beta=2&betacusto=3&bgid=4&calypso=5&"
                        "custo=6&expcalypso=7&football=8&kvpartner_id=11&"
                        "lang=9&partner_id=10&tablo=12&") +
                kTail);
  // Values go in as they are, empty ones too.
  EXPECT_EQ(BuildDownloadPageUrl("int", {{"custo", "a b=c"}, {"beta", ""}}),
            std::string("https://browser.kelvra.com.example/download?"
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
