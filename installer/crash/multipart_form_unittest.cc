#include "installer/crash/multipart_form.h"

#include <gtest/gtest.h>

#include <set>

#include "installer/crash/crash_report_query.h"

namespace lite_installer {
namespace {

TEST(MultipartFormTest, NamesEscapeLineEndsQuotesAndPercentInLowerCaseHex) {
  EXPECT_EQ("a%0ab%0dc%22d%25e", EscapeMultipartName("a\nb\rc\"d%e"));
  EXPECT_EQ("plain_name-1.x:y", EscapeMultipartName("plain_name-1.x:y"));
  EXPECT_EQ("%25%25", EscapeMultipartName("%%"));
}

TEST(MultipartFormTest, ContentTypeCharacters) {
  EXPECT_TRUE(IsValidMultipartContentType("application/octet-stream"));
  EXPECT_TRUE(IsValidMultipartContentType("image/svg+xml"));
  EXPECT_FALSE(IsValidMultipartContentType("text/plain; charset=utf-8"));
  EXPECT_FALSE(IsValidMultipartContentType("a\r\nX-Injected: 1"));
  EXPECT_FALSE(IsValidMultipartContentType(""));
}

TEST(MultipartFormTest, HeadAndTailInKeyOrderWithEscapedNames) {
  std::map<std::string, std::string> annotations = {
      {"zeta", "last"}, {"a\"b", "quoted"}, {"ver", "23.5.4.674"}};
  std::vector<std::string> warnings;
  std::string head = BuildMultipartHead(annotations, "B", "x%y.dmp",
                                        &warnings);
  EXPECT_EQ(
      "--B\r\nContent-Disposition: form-data; name=\"a%22b\"\r\n\r\n"
      "quoted\r\n"
      "--B\r\nContent-Disposition: form-data; name=\"ver\"\r\n\r\n"
      "23.5.4.674\r\n"
      "--B\r\nContent-Disposition: form-data; name=\"zeta\"\r\n\r\nlast\r\n"
      "--B\r\nContent-Disposition: form-data; name=\"upload_file_minidump\"; "
      "filename=\"x%25y.dmp\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n",
      head);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ("\r\n--B--\r\n", BuildMultipartTail("B"));
  EXPECT_EQ("multipart/form-data; boundary=B", MultipartContentType("B"));
}

TEST(MultipartFormTest, ReservedKeyIsSkippedWithItsWarning) {
  std::map<std::string, std::string> annotations = {
      {"upload_file_minidump", "forged"}, {"uid", "U"}};
  std::vector<std::string> warnings;
  std::string head = BuildMultipartHead(annotations, "B", "U.dmp", &warnings);
  EXPECT_EQ(std::vector<std::string>{
                "reserved key upload_file_minidump, discarding value forged"},
            warnings);
  EXPECT_EQ(std::string::npos, head.find("forged"));
  // Only the file part carries the reserved name.
  EXPECT_EQ(head.find("name=\"upload_file_minidump\""),
            head.rfind("name=\"upload_file_minidump\""));
}

TEST(MultipartFormTest, BoundaryDrawsWithoutBias) {
  // Bytes 248..255 would favour the first eight characters: they are
  // skipped. Below 248 every byte maps onto the alphabet evenly (b % 62).
  const uint8_t first[] = {255, 248, 61, 62, 123, 124, 185, 186, 247, 250};
  auto source = [&](uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
      bytes[i] = i < sizeof(first) ? first[i] : 1;
    return true;
  };
  std::string boundary = MakeMultipartBoundary(source);
  ASSERT_EQ(56u, boundary.size());
  // The first 32 bytes give 29 characters; a second draw the other three.
  EXPECT_EQ("---MultipartBoundary-z0z0z0z" + std::string(22, '1') + "z0z---",
            boundary);

  // A source that gives only rejected bytes is asked again; one that fails
  // gives no boundary.
  int calls = 0;
  auto rejecting = [&](uint8_t* bytes, size_t count) {
    std::fill(bytes, bytes + count, calls++ < 3 ? 250 : 0);
    return true;
  };
  EXPECT_EQ("---MultipartBoundary-" + std::string(32, '0') + "---",
            MakeMultipartBoundary(rejecting));
  EXPECT_EQ(4, calls);
  EXPECT_EQ("", MakeMultipartBoundary([](uint8_t*, size_t) { return false; }));
}

TEST(CrashReportQueryTest, ProductVersionAndGuidEscapedInUpperCaseHex) {
  EXPECT_EQ("AZaz09-_.~", EscapeQueryValue("AZaz09-_.~"));
  EXPECT_EQ("%3A%2F%20%25%C3%A9%0A", EscapeQueryValue(":/ %\xC3\xA9\n"));
  EXPECT_EQ("?product=Kelvra&version=23.5.4.674",
            BuildCrashReportQuery({{"prod", "Kelvra"},
                                   {"ver", "23.5.4.674"},
                                   {"uid", "ignored"}}));
  EXPECT_EQ("?product=Kelvra&version=1&guid=a%2Bb",
            BuildCrashReportQuery(
                {{"guid", "a+b"}, {"ver", "1"}, {"prod", "Kelvra"}}));
  EXPECT_EQ("?guid=x", BuildCrashReportQuery({{"guid", "x"}}));
  EXPECT_EQ("", BuildCrashReportQuery({{"other", "x"}}));
}

}  // namespace
}  // namespace lite_installer
