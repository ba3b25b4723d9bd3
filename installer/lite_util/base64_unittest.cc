#include "installer/lite_util/base64.h"

#include <string>

#include <gtest/gtest.h>

namespace lite_util {
namespace {

TEST(Base64DecodeTest, DecodesPaddedAndUnpaddedGroups) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"Zm9vYmFy", "foobar"},
      {"AP8A", std::string("\0\xff\0", 3)},
      {"+/+/", "\xfb\xff\xbf"},
  };
  for (const auto& c : cases) {
    std::string bytes = "untouched";
    EXPECT_TRUE(Base64Decode(c.text, &bytes)) << c.text;
    EXPECT_EQ(c.bytes, bytes) << c.text;
  }
}

TEST(Base64EncodeTest, PadsTheLastGroupAndRoundTripsEveryByte) {
  EXPECT_EQ("", Base64Encode(""));
  EXPECT_EQ("Zg==", Base64Encode("f"));
  EXPECT_EQ("Zm8=", Base64Encode("fo"));
  EXPECT_EQ("Zm9v", Base64Encode("foo"));
  EXPECT_EQ("Zm9vYmE=", Base64Encode("fooba"));
  EXPECT_EQ("+/+/", Base64Encode("\xfb\xff\xbf"));
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (size_t length = 0; length <= all.size(); length += 37) {
    std::string bytes;
    EXPECT_TRUE(Base64Decode(Base64Encode(all.substr(0, length)), &bytes));
    EXPECT_EQ(all.substr(0, length), bytes);
  }
}

TEST(Base64DecodeTest, RefusesMalformedTextAndLeavesOutputAlone) {
  for (const char* text :
       {"Zg", "Zg=", "Zm9", "=Zg=", "Z=g=", "Zg=a", "====", "Zm 9v",
        "Zm9v\n", "Zm-v", "Zm_v", "Zh==", "Zm9=" /* non-zero spare bits */}) {
    std::string bytes = "untouched";
    EXPECT_FALSE(Base64Decode(text, &bytes)) << text;
    EXPECT_EQ("untouched", bytes) << text;
  }
}

}  // namespace
}  // namespace lite_util
