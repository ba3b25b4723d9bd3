#include "installer/brand/distrib_params_text.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

using Map = DistribParamsMap;

TEST(DistribParamsTextTest, SplitsPairsAtAmpersandAndKeyAtFirstEquals) {
  struct Case {
    const char* text;
    Map expected;
  } cases[] = {
      {"a=1&b=x=y&c", {{"a", "1"}, {"b", "x=y"}, {"c", ""}}},
      {"a=1&&b=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
      {"=v", {{"", "v"}}},
      {"&", {{"", ""}}},
      {"a=1&", {{"a", "1"}, {"", ""}}},
      {"k=", {{"k", ""}}},
      {"lang=tr", {{"lang", "tr"}}},
      // No percent-decoding and no trimming: bytes stay as they are.
      {"a%3D1=b%26c& x = y ", {{"a%3D1", "b%26c"}, {" x ", " y "}}},
      {"a=1&a=2&a=3", {{"a", "3"}}},
      {"a&a=1", {{"a", "1"}}},
      {"a=1&a", {{"a", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDistribParams(c.text), c.expected) << c.text;
  }
  EXPECT_TRUE(ParseDistribParams("").empty());
}

TEST(DistribParamsTextTest, KeepsEmbeddedZeroAndHighBytes) {
  std::string text("k\0ey=v\xff\0x", 9);
  Map params = ParseDistribParams(text);
  ASSERT_EQ(params.size(), 1u);
  EXPECT_EQ(params.begin()->first, std::string("k\0ey", 4));
  EXPECT_EQ(params.begin()->second, std::string("v\xff\0x", 4));
}

TEST(DistribParamsTextTest, KeysAreInByteOrder) {
  Map params = ParseDistribParams("b=1&B=2&a=3&\xe9=4&=5");
  std::string order;
  for (const auto& p : params)
    order += p.first + ",";
  EXPECT_EQ(order, ",B,a,b,\xe9,");
}

TEST(DistribParamsTextTest, TwoStateFlagIsDefinedOnlyForOneAndTwo) {
  struct Case {
    const char* value;
    bool defined;
    bool flag;
  } cases[] = {
      {"1", true, true},    {"2", true, false},     {"yes", false, false},
      {"0", false, false},  {"", false, false},     {"01", false, false},
      {"1 ", false, false}, {"true", false, false}, {"12", false, false}};
  for (const Case& c : cases) {
    bool flag = !c.flag;
    EXPECT_EQ(ParseTwoStateFlag(c.value, &flag), c.defined) << c.value;
    EXPECT_EQ(flag, c.flag) << c.value;
  }
}

}  // namespace
}  // namespace lite_installer
