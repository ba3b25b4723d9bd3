#include "installer/brand/settings_text.h"

#include <string>

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

std::string Blank(const std::string& text) {
  std::string json;
  SettingsTextError error;
  EXPECT_TRUE(BlankSettingsComments(text, &json, &error))
      << text << ": " << error.text;
  return json;
}

SettingsTextError Refusal(const std::string& text) {
  std::string json;
  SettingsTextError error;
  EXPECT_FALSE(BlankSettingsComments(text, &json, &error)) << text;
  return error;
}

TEST(SettingsCommentsTest, CommentsBecomeSpacesOfTheSameLength) {
  EXPECT_EQ(Blank("//sig\n{}"), "     \n{}");
  EXPECT_EQ(Blank("{\"a\"/* x */:1}"), "{\"a\"       :1}");
  EXPECT_EQ(Blank("{} // end"), "{}       ");
  // A line comment ends at a carriage return as well as at a line feed.
  EXPECT_EQ(Blank("//a\r{}"), "   \r{}");
  EXPECT_EQ(Blank("//a\r\n{}"), "   \r\n{}");
  // Line breaks inside a block comment stay, so line numbers do too.
  EXPECT_EQ(Blank("/*a\nb\r\n*/{}"), "   \n \r\n  {}");
  // "/*/" does not close the comment it opens; "**/" does.
  EXPECT_EQ(Blank("/*/ x **/1"), "         1");
  // Comment starters inside a comment mean nothing.
  EXPECT_EQ(Blank("// /* \n1"), "      \n1");
  EXPECT_EQ(Blank("/* // */1"), "        1");
}

TEST(SettingsCommentsTest, StringsAreLeftAloneWithTheirEscapes) {
  const std::string url = "{\"u\": \"https://host/a//b/*c*/\"}";
  EXPECT_EQ(Blank(url), url);
  // An escaped quote does not end the string; an escaped backslash does
  // not escape the quote after it.
  const std::string escaped = "[\"a\\\"//b\", \"c\\\\\"//d\n]";
  EXPECT_EQ(Blank(escaped), "[\"a\\\"//b\", \"c\\\\\"   \n]");
  // An unterminated string swallows the rest; the JSON reader refuses it.
  EXPECT_EQ(Blank("\"abc // x"), "\"abc // x");
}

TEST(SettingsCommentsTest, RefusesAStrayOrUnfinishedComment) {
  SettingsTextError error = Refusal("{\"a\": 1 / 2}");
  EXPECT_EQ(error.text, "unexpected character");
  EXPECT_EQ(error.line, 1);
  EXPECT_EQ(error.column, 9);
  error = Refusal("{}\n  /x");
  EXPECT_EQ(error.text, "unexpected character");
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.column, 3);
  error = Refusal("{} /* never closed\n*");
  EXPECT_EQ(error.text, "premature end of input");
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(error.column, 2);
  EXPECT_EQ(Refusal("{}/").text, "premature end of input");
  EXPECT_EQ(Refusal("/*/").text, "premature end of input");
}

class SettingsDocumentTest : public testing::Test {
 protected:
  void Parse(const std::string& text) {
    SettingsTextError error;
    ASSERT_TRUE(document_.Parse(text, &error))
        << error.text << " at " << error.line << ":" << error.column;
  }
  std::string String(const std::string& key) {
    std::string value = "<absent>";
    document_.FindString(key, &value);
    return value;
  }
  SettingsDocument document_;
};

TEST_F(SettingsDocumentTest, DottedKeysWalkNestedObjects) {
  Parse("{\"a\": {\"b\": {\"c\": \"deep\"}, \"s\": \"x\"}, \"n\": 5}");
  EXPECT_EQ(String("a.b.c"), "deep");
  EXPECT_EQ(String("a.s"), "x");
  EXPECT_EQ(String("a.b"), "<absent>");      // an object, not a string
  EXPECT_EQ(String("a.s.t"), "<absent>");    // a string on the way
  EXPECT_EQ(String("n"), "<absent>");        // a number
  EXPECT_EQ(String("a.missing"), "<absent>");
  EXPECT_EQ(String("a.b.c.d"), "<absent>");
}

TEST_F(SettingsDocumentTest, InstallKeysFallBackToTheTopLevel) {
  Parse("{\"install\": {\"setup_url\": \"nested\", \"slide_url\": 7},"
        " \"setup_url\": \"top\", \"slide_url\": \"top slide\","
        " \"scenarios_url\": \"only top\", \"license_url\": \"l\"}");
  EXPECT_EQ(String("install.setup_url"), "nested");
  // A nested value of the wrong type falls through to the top level.
  EXPECT_EQ(String("install.slide_url"), "top slide");
  EXPECT_EQ(String("install.scenarios_url"), "only top");
  // Only "install." is stripped, and only as a prefix.
  EXPECT_EQ(String("urls.license_url"), "<absent>");
  EXPECT_EQ(String("xinstall.license_url"), "<absent>");
}

TEST_F(SettingsDocumentTest, InstallKeysFallBackWithoutAnInstallObject) {
  Parse("{\"setup_url\": \"flat\", \"send_statistics\": false}");
  EXPECT_EQ(String("install.setup_url"), "flat");
  EXPECT_EQ(document_.FindTriState("install.send_statistics"),
            kTriStateFalse);
}

TEST_F(SettingsDocumentTest, TriStatesAndBooleansTakeOnlyJsonBooleans) {
  Parse("{\"install\": {\"t\": true, \"f\": false, \"s\": \"true\","
        " \"one\": 1, \"nul\": null, \"both\": \"x\"}, \"both\": true}");
  EXPECT_EQ(document_.FindTriState("install.t"), kTriStateTrue);
  EXPECT_EQ(document_.FindTriState("install.f"), kTriStateFalse);
  EXPECT_EQ(document_.FindTriState("install.s"), kTriStateNotSet);
  EXPECT_EQ(document_.FindTriState("install.one"), kTriStateNotSet);
  EXPECT_EQ(document_.FindTriState("install.nul"), kTriStateNotSet);
  EXPECT_EQ(document_.FindTriState("install.absent"), kTriStateNotSet);
  EXPECT_EQ(document_.FindTriState("install.both"), kTriStateTrue);
  bool value = true;
  EXPECT_TRUE(document_.FindBool("install.f", &value));
  EXPECT_FALSE(value);
  value = true;
  EXPECT_FALSE(document_.FindBool("install.one", &value));
  EXPECT_TRUE(value);  // untouched
}

TEST_F(SettingsDocumentTest, PresenceCountsEverythingButNull) {
  Parse("{\"install\": {\"pin\": null, \"obj\": {}, \"zero\": 0,"
        " \"f\": false, \"e\": \"\"}, \"pin\": {}}");
  EXPECT_FALSE(document_.IsPresentAndNotNull("install.pin"));  // no retry
  EXPECT_TRUE(document_.IsPresentAndNotNull("install.obj"));
  EXPECT_TRUE(document_.IsPresentAndNotNull("install.zero"));
  EXPECT_TRUE(document_.IsPresentAndNotNull("install.f"));
  EXPECT_TRUE(document_.IsPresentAndNotNull("install.e"));
  EXPECT_FALSE(document_.IsPresentAndNotNull("install.absent"));
}

TEST_F(SettingsDocumentTest, ReadsAPackageWithSignatureLineAndComments) {
  Parse("//TWFueSBoYW5kcyBtYWtlIGxpZ2h0IHdvcmsu+/==\r\n"
        "/* brand */ {\"install\": { // nested\n"
        "  \"setup_url\": \"https://cdn.example//x/*y*/\" /* url */ }}\n"
        "// trailing\n");
  EXPECT_EQ(String("install.setup_url"), "https://cdn.example//x/*y*/");
}

TEST_F(SettingsDocumentTest, KeepsUtf8TextAsItIs) {
  Parse("{\"brand_name\": \"\xD0\x9A\xD0\xB5\u00e9\", \"e\": \"\\u00e9\"}");
  EXPECT_EQ(String("brand_name"), "\xD0\x9A\xD0\xB5\u00e9");
  EXPECT_EQ(String("e"), "\xC3\xA9");
}

TEST(SettingsDocumentParseTest, RefusedTextsLeaveEveryKeyAbsent) {
  const struct {
    const char* text;
    const char* error;
  } kCases[] = {
      {"{\"a\": \"x\"} / ", "unexpected character"},
      {"{\"a\": \"x\"} /* open", "premature end of input"},
      {"{\"a\": \"x\",}", nullptr},   // the JSON reader's own refusal
      {"{\"a\": \"x\"", nullptr},
      {"", nullptr},
      {"// only a comment", nullptr},
      {"{\"a\": 1/**/2}", nullptr},   // a comment separates like a space
  };
  for (const auto& test_case : kCases) {
    // A refused text also forgets what an earlier one held.
    SettingsDocument document;
    SettingsTextError error;
    ASSERT_TRUE(document.Parse("{\"a\": \"before\"}", &error));
    EXPECT_FALSE(document.Parse(test_case.text, &error)) << test_case.text;
    EXPECT_FALSE(error.text.empty()) << test_case.text;
    if (test_case.error) {
      EXPECT_EQ(error.text, test_case.error);
    }
    std::string value;
    EXPECT_FALSE(document.FindString("a", &value)) << test_case.text;
  }
}

}  // namespace
}  // namespace lite_installer
