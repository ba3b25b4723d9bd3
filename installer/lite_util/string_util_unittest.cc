#include "installer/lite_util/string_util.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace lite_util {
namespace {

// The system's own conversion, as an independent reference for valid text.
std::string SystemWideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
  std::string out(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                        &out[0], n, nullptr, nullptr);
  return out;
}

// Counts U+FFFD in |text|.
size_t CountReplacements(const std::wstring& text) {
  size_t n = 0;
  for (wchar_t c : text) n += c == L'\xFFFD';
  return n;
}

TEST(Utf8ConversionTest, KnownEncodings) {
  EXPECT_EQ("", WideToUtf8(L""));
  EXPECT_EQ(L"", Utf8ToWide(""));
  EXPECT_EQ("abc", WideToUtf8(L"abc"));
  // One example for each encoded length: 1, 2, 3 and 4 bytes.
  EXPECT_EQ("\x7F", WideToUtf8(L"\x7F"));
  EXPECT_EQ("\xC2\x80", WideToUtf8(L"\x80"));
  EXPECT_EQ("\xC3\xA9", WideToUtf8(L"\xE9"));
  EXPECT_EQ("\xDF\xBF", WideToUtf8(L"\x7FF"));
  EXPECT_EQ("\xE0\xA0\x80", WideToUtf8(L"\x800"));
  EXPECT_EQ("\xE4\xB8\xAD", WideToUtf8(L"\x4E2D"));
  EXPECT_EQ("\xEF\xBF\xBD", WideToUtf8(L"\xFFFD"));
  EXPECT_EQ("\xEF\xBF\xBF", WideToUtf8(L"\xFFFF"));
  EXPECT_EQ("\xF0\x9F\x98\x80", WideToUtf8(L"\xD83D\xDE00"));  // U+1F600
  EXPECT_EQ("\xF0\x90\x80\x80", WideToUtf8(L"\xD800\xDC00"));  // U+10000
  EXPECT_EQ("\xF4\x8F\xBF\xBF", WideToUtf8(L"\xDBFF\xDFFF"));  // U+10FFFF

  EXPECT_EQ(L"\xE9", Utf8ToWide("\xC3\xA9"));
  EXPECT_EQ(L"\x4E2D\x6587", Utf8ToWide("\xE4\xB8\xAD\xE6\x96\x87"));
  EXPECT_EQ(std::wstring(L"\xD83D\xDE00"), Utf8ToWide("\xF0\x9F\x98\x80"));
  EXPECT_EQ(std::wstring(L"\xDBFF\xDFFF"), Utf8ToWide("\xF4\x8F\xBF\xBF"));
}

TEST(Utf8ConversionTest, EmbeddedNulIsKept) {
  std::wstring wide(L"a\0b", 3);
  std::string utf8("a\0b", 3);
  EXPECT_EQ(utf8, WideToUtf8(wide));
  EXPECT_EQ(wide, Utf8ToWide(utf8));
}

TEST(Utf8ConversionTest, RoundTripOfEveryValidUnitAndSurrogatePairs) {
  // Every code unit outside the surrogate range, in one string.
  std::wstring all;
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    all += static_cast<wchar_t>(c);
  }
  // A sample of supplementary characters, including both ends of the range.
  for (unsigned cp : {0x10000u, 0x1F600u, 0x20000u, 0x2A6D6u, 0xE0001u,
                      0x10FFFFu}) {
    cp -= 0x10000;
    all += static_cast<wchar_t>(0xD800 + (cp >> 10));
    all += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  }
  std::string utf8 = WideToUtf8(all);
  EXPECT_EQ(SystemWideToUtf8(all), utf8);
  EXPECT_EQ(all, Utf8ToWide(utf8));
}

TEST(Utf8ConversionTest, UnpairedSurrogatesBecomeReplacementCharacter) {
  const std::string kFffd = "\xEF\xBF\xBD";
  EXPECT_EQ(kFffd, WideToUtf8(L"\xD800"));       // lone high
  EXPECT_EQ(kFffd, WideToUtf8(L"\xDC00"));       // lone low
  EXPECT_EQ("a" + kFffd + "b", WideToUtf8(L"a\xD83D" L"b"));
  EXPECT_EQ("a" + kFffd + "b", WideToUtf8(L"a\xDE00" L"b"));
  // Low before high is two unpaired surrogates, not a pair.
  EXPECT_EQ(kFffd + kFffd, WideToUtf8(L"\xDE00\xD83D"));
  // Two highs in a row, the second one completing a pair.
  EXPECT_EQ(kFffd + "\xF0\x9F\x98\x80", WideToUtf8(L"\xD83D\xD83D\xDE00"));
  // A high surrogate at the very end.
  EXPECT_EQ("x" + kFffd, WideToUtf8(L"x\xDBFF"));
}

TEST(Utf8ConversionTest, InvalidSequencesBecomeReplacementCharacter) {
  struct {
    const char* name;
    std::string input;
  } const kCases[] = {
      {"lone continuation", "\x80"},
      {"continuation run", "\xBF\xBF"},
      {"invalid lead FE", "\xFE"},
      {"invalid lead FF", "\xFF"},
      {"5-byte lead", "\xF8\x88\x80\x80\x80"},
      {"lead then ASCII", "\xC3("},
      {"3-byte lead then ASCII", "\xE4\xB8("},
      {"encoded high surrogate", "\xED\xA0\x80"},
      {"encoded low surrogate", "\xED\xBF\xBF"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"},
      {"F7 lead", "\xF7\xBF\xBF\xBF"},
      {"overlong NUL", "\xC0\x80"},
      {"overlong slash", "\xC0\xAF"},
      {"overlong 3-byte slash", "\xE0\x80\xAF"},
      {"overlong 4-byte slash", "\xF0\x80\x80\xAF"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::wstring wide = Utf8ToWide("<" + c.input + ">");
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(L'<', wide.front());
    EXPECT_EQ(L'>', wide.back());
    std::wstring inner = wide.substr(1, wide.size() - 2);
    EXPECT_GE(CountReplacements(inner), 1u);
    // Nothing but replacement characters and the ASCII the input carried.
    for (wchar_t ch : inner) {
      EXPECT_TRUE(ch == L'\xFFFD' || ch == L'(')
          << "unexpected U+" << std::hex << static_cast<unsigned>(ch);
    }
    // The ASCII following a broken sequence is never swallowed.
    size_t ascii = c.input.find('(');
    if (ascii != std::string::npos) {
      EXPECT_NE(std::wstring::npos, inner.find(L'('));
    }
  }
}

TEST(Utf8ConversionTest, TruncatedSequencesStopAtTheEnd) {
  // Every proper prefix of a multi-byte sequence, at the very end of the
  // text: only replacement characters come out, nothing is made up from
  // whatever lies behind the string.
  const std::string kFull[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};
  for (const std::string& full : kFull) {
    for (size_t len = 1; len < full.size(); ++len) {
      SCOPED_TRACE(testing::Message() << full.size() << "-byte, " << len);
      std::wstring wide = Utf8ToWide("a" + full.substr(0, len));
      ASSERT_GE(wide.size(), 2u);
      EXPECT_EQ(L'a', wide[0]);
      EXPECT_EQ(wide.size() - 1, CountReplacements(wide));
      EXPECT_LE(wide.size() - 1, len);
    }
  }
  // A string ending in a lead byte of each length.
  EXPECT_EQ(L"x\xFFFD", Utf8ToWide("x\xC3"));
  EXPECT_EQ(L"x\xFFFD", Utf8ToWide("x\xE4"));
  EXPECT_EQ(L"x\xFFFD", Utf8ToWide("x\xF0"));
  // A sequence cut by an embedded NUL: the NUL is a character of its own and
  // is not taken as a continuation byte or as the end of the text.
  std::wstring cut = Utf8ToWide(std::string("\xE4\0\xB8\xAD", 4));
  ASSERT_EQ(4u, cut.size());
  EXPECT_EQ(L'\xFFFD', cut[0]);
  EXPECT_EQ(L'\0', cut[1]);
  EXPECT_EQ(2u, CountReplacements(cut.substr(2)));
}

TEST(Utf8ConversionTest, ValidTextAfterAnInvalidByteIsDecoded) {
  EXPECT_EQ(L"\xFFFD\xE9", Utf8ToWide("\xFF\xC3\xA9"));
  EXPECT_EQ(L"\xFFFD" L"abc", Utf8ToWide("\x80" "abc"));
  EXPECT_EQ(L"\xFFFD\x4E2D", Utf8ToWide("\xC3\xE4\xB8\xAD"));
}

TEST(TrimWhitespaceTest, TrimsEveryRequiredWhitespaceCharacter) {
  std::vector<wchar_t> spaces = {L'\t', L'\n', L'\v', L'\f', L'\r', L' ',
                                 L'\x85', L'\xA0', L'\x3000'};
  for (wchar_t c = 0x2000; c <= 0x200A; ++c) spaces.push_back(c);
  for (wchar_t c : spaces) {
    SCOPED_TRACE(testing::Message() << "U+" << std::hex << unsigned(c));
    EXPECT_TRUE(IsUnicodeWhitespace(c));
    std::wstring s(1, c);
    EXPECT_EQ(L"x", TrimWhitespace(s + L"x"));
    EXPECT_EQ(L"x", TrimWhitespace(L"x" + s));
    EXPECT_EQ(L"x", TrimWhitespace(s + s + L"x" + s + s));
    EXPECT_EQ(L"", TrimWhitespace(s));
  }
  // All of them together around a value.
  std::wstring all(spaces.begin(), spaces.end());
  EXPECT_EQ(L"value", TrimWhitespace(all + L"value" + all));
}

TEST(TrimWhitespaceTest, KeepsInnerWhitespaceAndOtherCharacters) {
  EXPECT_EQ(L"", TrimWhitespace(L""));
  EXPECT_EQ(L"a b\tc\x3000" L"d", TrimWhitespace(L"  a b\tc\x3000" L"d\t "));
  EXPECT_EQ(L"C:\\Program Files\\x", TrimWhitespace(L" C:\\Program Files\\x "));
  // Neighbours of the white-space characters are not white space.
  for (wchar_t c : {L'\x08', L'\x0E', L'\x1F', L'!', L'\x84', L'\x86',
                    L'\x9F', L'\xA1', L'\x1FFF', L'\x200B', L'\x2FFF',
                    L'\x3001', L'\xFFFD'}) {
    SCOPED_TRACE(testing::Message() << "U+" << std::hex << unsigned(c));
    EXPECT_FALSE(IsUnicodeWhitespace(c));
    std::wstring s(1, c);
    EXPECT_EQ(s, TrimWhitespace(L" " + s + L" "));
  }
  // A NUL is kept as it is.
  std::wstring nul(L" \0 ", 3);
  EXPECT_EQ(std::wstring(L"\0", 1), TrimWhitespace(nul));
}

TEST(ByteConversionTest, NarrowKeepsTheLowByte) {
  EXPECT_EQ("", NarrowLowBytes(L""));
  EXPECT_EQ("Silent-1", NarrowLowBytes(L"Silent-1"));
  // U+0141 -> 0x41 'A', U+4E2D -> 0x2D '-', U+00E9 -> 0xE9.
  EXPECT_EQ("A-\xE9", NarrowLowBytes(L"\x0141\x4E2D\xE9"));
  EXPECT_EQ(std::string("\0\xFF", 2), NarrowLowBytes(L"\x0100\xFFFF"));
}

TEST(ByteConversionTest, WidenIsLatin1) {
  EXPECT_EQ(L"", WidenBytes(""));
  EXPECT_EQ(L"auto", WidenBytes("auto"));
  // Bytes at and above 0x80 widen without sign extension.
  EXPECT_EQ(L"\x80\xE9\xFF", WidenBytes("\x80\xE9\xFF"));
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) all_bytes += static_cast<char>(b);
  std::wstring wide = WidenBytes(all_bytes);
  ASSERT_EQ(256u, wide.size());
  for (int b = 0; b < 256; ++b) EXPECT_EQ(b, static_cast<int>(wide[b]));
  EXPECT_EQ(all_bytes, NarrowLowBytes(wide));
}

TEST(AsciiToLowerTest, OnlyAsciiLettersChange) {
  EXPECT_EQ("brand-name_09", AsciiToLower("BRAND-Name_09"));
  EXPECT_EQ("\xC9\xE9@[`{", AsciiToLower("\xC9\xE9@[`{"));
}

}  // namespace
}  // namespace lite_util
