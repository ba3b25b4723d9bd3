// Conversions between UTF-16 and UTF-8 and the white-space trimming the
// command-line parser needs.
#ifndef INSTALLER_LITE_UTIL_STRING_UTIL_H_
#define INSTALLER_LITE_UTIL_STRING_UTIL_H_

#include <string>

namespace lite_util {

// Unpaired surrogates become U+FFFD; the conversion never fails.
std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// Keeps the low byte of every UTF-16 unit.
std::string NarrowLowBytes(const std::wstring& wide);
// Widens every byte as it is (Latin-1).
std::wstring WidenBytes(const std::string& narrow);

// ASCII white space, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028, U+2029,
// U+202F, U+205F, U+3000 and U+FEFF.
bool IsUnicodeWhitespace(wchar_t c);
std::wstring TrimWhitespace(const std::wstring& text);

std::string AsciiToLower(std::string text);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_STRING_UTIL_H_
