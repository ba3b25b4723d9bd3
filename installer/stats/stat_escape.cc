#include "installer/stats/stat_escape.h"

#include <windows.h>
#include <shlwapi.h>

#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

constexpr DWORD kEscapeBufferSize = 2084;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsKeptByte(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
      (c >= '0' && c <= '9')) {
    return true;
  }
  switch (c) {
    case '!': case '\'': case '(': case ')': case '.': case '_': case '~':
      return true;
  }
  return false;
}

void AppendEscapedByte(unsigned char c, std::string* out) {
  out->push_back('%');
  out->push_back(kHexDigits[c >> 4]);
  out->push_back(kHexDigits[c & 0x0F]);
}

}  // namespace

std::string PercentEscapeBytes(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (IsKeptByte(c)) {
      out.push_back(ch);
    } else {
      AppendEscapedByte(c, &out);
    }
  }
  return out;
}

std::wstring EscapeUrlTwice(const std::wstring& url) {
  return lite_util::Utf8ToWide(
      PercentEscapeBytes(PercentEscapeBytes(lite_util::WideToUtf8(url))));
}

std::wstring EscapeStatSegment(const std::wstring& text) {
  if (text.empty()) return std::wstring();
  // Letters of other scripts would pass the system escape unchanged and
  // then lose their high byte: as UTF-8 bytes they travel whole.
  std::wstring ascii;
  ascii.reserve(text.size());
  std::wstring run;
  auto flush_run = [&]() {
    if (run.empty()) return;
    std::string escaped;
    for (char c : lite_util::WideToUtf8(run))
      AppendEscapedByte(static_cast<unsigned char>(c), &escaped);
    ascii.append(escaped.begin(), escaped.end());
    run.clear();
  };
  for (wchar_t c : text) {
    if (c == L'%') {
      // The system escape leaves "%" alone: the server would decode a
      // value's "%2C" into a separator of its own.
      flush_run();
      ascii.append(L"%25");
    } else if (c < 0x80) {
      flush_run();
      ascii.push_back(c);
    } else {
      run.push_back(c);
    }
  }
  flush_run();

  wchar_t buffer[kEscapeBufferSize] = {};
  DWORD size = kEscapeBufferSize;
  if (FAILED(::UrlEscapeW(ascii.c_str(), buffer, &size,
                          URL_ESCAPE_SEGMENT_ONLY))) {
    return std::wstring();
  }
  return std::wstring(buffer, size);
}

}  // namespace lite_installer
