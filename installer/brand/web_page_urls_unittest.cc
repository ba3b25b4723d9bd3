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
  // Values go in percent-encoded, empty ones too; a value with a control
  // character is left out.
  EXPECT_EQ(BuildDownloadPageUrl(
                "int", {{"custo", "a b=c&full=0#x"}, {"beta", ""},
                        {"lang", "ru\r\nX-Injected: yes"}, {"tablo", "%41"}}),
            std::string("https://" KELVRA_WEBSITE_HOST_INT "/download?"
                        "beta=&custo=a%20b%3Dc%26full%3D0%23x&tablo=%2541&") +
                kTail);
}

TEST(EscapeUrlValueTest, KeepsOnlyUnreservedBytes) {
  EXPECT_EQ("aZ09-._~", EscapeUrlValue("aZ09-._~"));
  EXPECT_EQ("%20%22%25%26%2B%2F%3D%3F%5C%7F%80%FF",
            EscapeUrlValue(" \"%&+/=?\\\x7f\x80\xff"));
  EXPECT_EQ("w7%20HTTP%2F1.1%0D%0AX-Injected%3A%20yes",
            EscapeUrlValue("w7 HTTP/1.1\r\nX-Injected: yes"));
  EXPECT_TRUE(HasControlCharacters(std::string("a\0b", 3)));
  EXPECT_TRUE(HasControlCharacters("a\tb"));
  EXPECT_TRUE(HasControlCharacters("\x7f"));
  EXPECT_FALSE(HasControlCharacters("a b\x80\xff"));
}

TEST(LicenseUrlTest, AddsTheLanguagePercentEncoded) {
  EXPECT_EQ(BuildLicenseUrlWithLanguage(
                "https://legal.example/browser_agreement/", "tr"),
            L"https://legal.example/browser_agreement/?lang=tr");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("https://l.example/a", "\xe9"),
            L"https://l.example/a?lang=%E9");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("https://l.example/a", "tr&x=1 2"),
            L"https://l.example/a?lang=tr%26x%3D1%202");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("https://l.example/a", "tr\r\nX: y"),
            L"https://l.example/a");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("https://l.example/\n", "tr"), L"");
  EXPECT_EQ(BuildLicenseUrlWithLanguage("", ""), L"?lang=");
}

}  // namespace
}  // namespace lite_installer
