#include "installer/stats/stat_query_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace lite_installer {
namespace {

constexpr wchar_t kPrefix[] =
    L"https://stats.test/installstats/send/dtype=stred/pid=457/cid=72992"
    L"/path=extended_stat";

std::wstring VarsOf(const std::wstring& url) {
  size_t start = url.find(L"/vars=");
  if (start == std::wstring::npos) return std::wstring();
  start += 6;
  return url.substr(start, url.size() - start - 2);  // without "/*"
}

TEST(StatQueryBuilderTest, UrlCarriesParametersAndFieldsInNameOrder) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  builder.SetParameter("ui", L"u1");
  builder.SetParameter("brand_id", L"kelvra");
  StatEvent event;
  event["stage"] = L"started";
  event["action"] = L"download";
  EXPECT_EQ(std::wstring(kPrefix) +
                L"/vars=-action=download,-brand_id=kelvra,-old_style=0,"
                L"-stage=started,-ui=u1/*",
            builder.GetQueryUrl(event));
}

TEST(StatQueryBuilderTest, ParametersWinOverFieldsAndBrandDefaultsToUnknown) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  StatEvent event;
  event["old_style"] = L"7";
  EXPECT_EQ(L"-brand_id=unknown,-old_style=0",
            VarsOf(builder.GetQueryUrl(event)));

  builder.SetParameter("brand_id", L"kelvra");
  event["brand_id"] = L"from_event";
  EXPECT_EQ(L"-brand_id=kelvra,-old_style=0",
            VarsOf(builder.GetQueryUrl(event)));
  // The event itself is left as it was.
  EXPECT_EQ(L"from_event", event["brand_id"]);
}

TEST(StatQueryBuilderTest, SeparatorsInNamesAndValuesBecomeUnderscores) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  StatEvent event;
  event["error"] = L"attempt-1-final_query_info-404";
  event["a-b,c=d"] = L"a-b,c=d";
  EXPECT_EQ(L"-a_b_c_d=a_b_c_d,-brand_id=unknown,"
            L"-error=attempt_1_final_query_info_404,-old_style=0",
            VarsOf(builder.GetQueryUrl(event)));
}

TEST(StatQueryBuilderTest, ValueCanNeitherEndNorSplitItsSegment) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  struct Case {
    const wchar_t* value;
    const wchar_t* sent;
  } cases[] = {
      {L"a/b c", L"a%2Fb%20c"},
      {L"x?y#z", L"x%3Fy%23z"},
      // An escape in the value stays text: the server must not decode
      // "%2C%2Dbrand_id%3Devil" into a field of its own.
      {L"b%2C%2Dbrand_id%3Devil", L"b%252C%252Dbrand_id%253Devil"},
      {L"100%", L"100%25"},
      // Letters of other scripts whose low byte is "/" or "?" travel as
      // their UTF-8 bytes.
      {L"\u042F", L"%D0%AF"},
      {L"\u043F\u0440\u0438\u0432\u0435\u0442",
       L"%D0%BF%D1%80%D0%B8%D0%B2%D0%B5%D1%82"},
      {L"\u00E9t\u00E9", L"%C3%A9t%C3%A9"},
      {L"\U0001F600", L"%F0%9F%98%80"},
  };
  for (const Case& c : cases) {
    StatEvent event;
    event["v"] = c.value;
    std::wstring url = builder.GetQueryUrl(event);
    EXPECT_EQ(std::wstring(L"-brand_id=unknown,-old_style=0,-v=") + c.sent,
              VarsOf(url))
        << c.sent;
    for (wchar_t ch : url) ASSERT_LT(ch, 0x80) << c.sent;
    // Path segments: the fixed ones and the vars, nothing more.
    size_t slashes = 0;
    for (wchar_t ch : url) slashes += ch == L'/';
    EXPECT_EQ(10u, slashes) << url;
  }
}

TEST(StatQueryBuilderTest, DialogKindChangesCounterAndPath) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  builder.set_kind(kStatKindReinstallDialog);
  std::wstring url = builder.GetQueryUrl(StatEvent());
  EXPECT_EQ(0u, url.find(L"https://stats.test/installstats/send/dtype=stred/"
                         L"pid=457/cid=72696/path=kvbrowser_reinstall_dialog"
                         L"/vars="));
  // A kind outside the table is refused; the kind stays.
  builder.set_kind(5);
  EXPECT_EQ(kStatKindReinstallDialog, builder.kind());
}

TEST(StatQueryBuilderTest, EmptyValueIsSentEmpty) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  builder.SetParameter("old_ver", L"");
  EXPECT_EQ(L"-brand_id=unknown,-old_style=0,-old_ver=",
            VarsOf(builder.GetQueryUrl(StatEvent())));
}

TEST(StatQueryBuilderTest, ParameterTextRoundTrips) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  builder.SetParameter("ui", L"u1");
  builder.SetParameter("old_ver", L"");
  builder.SetParameter("brand_id", L"\u0434\u0430");
  EXPECT_EQ(L"brand_id\n\u0434\u0430\nold_ver\n\nui\nu1\n",
            builder.ParameterText());

  StatQueryBuilder read_back(kLiteInstallerType, L"stats.test");
  read_back.ApplyParameterText(builder.ParameterText());
  EXPECT_EQ(builder.parameters(), read_back.parameters());
}

TEST(StatQueryBuilderTest, ParameterTextSkipsEmptyLineWhereNameIsDue) {
  StatQueryBuilder builder(kLiteInstallerType, L"stats.test");
  builder.SetParameter("a", L"old");
  builder.ApplyParameterText(L"a\nb\n\nc\nd");
  StatEvent expected;
  expected["a"] = L"b";
  expected["c"] = L"d";
  EXPECT_EQ(expected, builder.parameters());

  // A name keeps the low byte of each character and is sent as that
  // byte's character (here U+00E9, as UTF-8).
  StatQueryBuilder latin(kLiteInstallerType, L"stats.test");
  latin.ApplyParameterText(L"\u01E9x\nv\n");
  EXPECT_EQ(L"-brand_id=unknown,-old_style=0,-%C3%A9x=v",
            VarsOf(latin.GetQueryUrl(StatEvent())));

  // A name without a value line is not stored.
  StatQueryBuilder dangling(kLiteInstallerType, L"stats.test");
  dangling.ApplyParameterText(L"\n\nname");
  EXPECT_TRUE(dangling.parameters().empty());
}

}  // namespace
}  // namespace lite_installer
