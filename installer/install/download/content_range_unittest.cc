#include "installer/install/download/content_range.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

TEST(ContentRangeTest, AcceptsSatisfiedRanges) {
  ContentRange range;
  ASSERT_TRUE(ParseContentRange("bytes 100-199/200", &range));
  EXPECT_EQ(100u, range.first);
  EXPECT_EQ(199u, range.last);
  EXPECT_EQ(200u, range.complete_length);
  // Unit in any letter case, blanks around the value.
  ASSERT_TRUE(ParseContentRange("  Bytes  0-0/1 ", &range));
  EXPECT_EQ(0u, range.first);
  EXPECT_EQ(1u, range.complete_length);
}

TEST(ContentRangeTest, ReadsLengthsBeyondFourGibibytes) {
  ContentRange range;
  ASSERT_TRUE(ParseContentRange("bytes 4294967296-6442450943/6442450944",
                                &range));
  EXPECT_EQ(4294967296ull, range.first);
  EXPECT_EQ(6442450943ull, range.last);
  EXPECT_EQ(6442450944ull, range.complete_length);
}

TEST(ContentRangeTest, RefusesWhatCannotContinueADownload) {
  ContentRange range;
  range.first = 7;
  for (const char* text :
       {"", "bytes", "bytes */200", "bytes 0-9/*", "bytes 10-9/20",
        "bytes 0-20/20", "bytes 0-9", "items 0-9/10", "bytes=0-9/10",
        "bytes0-9/10", "bytes 0-9/10 junk", "bytes -1-9/10",
        "bytes 0-9/99999999999999999999"}) {
    EXPECT_FALSE(ParseContentRange(text, &range)) << text;
  }
  EXPECT_EQ(7u, range.first) << "a refused text leaves the value alone";
}

TEST(ContentLengthTest, ParsesDecimalDigitsOnly) {
  uint64_t length = 0;
  ASSERT_TRUE(ParseContentLength("0", &length));
  EXPECT_EQ(0u, length);
  ASSERT_TRUE(ParseContentLength(" 5368709120 ", &length));
  EXPECT_EQ(5368709120ull, length);
  ASSERT_TRUE(ParseContentLength("18446744073709551615", &length));
  EXPECT_EQ(UINT64_MAX, length);
  length = 3;
  for (const char* text : {"", " ", "-1", "+1", "1 2", "0x10", "12a",
                           "18446744073709551616"}) {
    EXPECT_FALSE(ParseContentLength(text, &length)) << text;
  }
  EXPECT_EQ(3u, length);
}

}  // namespace
}  // namespace lite_installer
