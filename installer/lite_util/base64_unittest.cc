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
