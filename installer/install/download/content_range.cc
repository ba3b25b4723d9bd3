#include "installer/install/download/content_range.h"

namespace lite_installer {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the digits at |*pos| into |value|; false without a digit or on
// overflow.
bool ReadNumber(const std::string& text, size_t* pos, uint64_t* value) {
  uint64_t result = 0;
  size_t start = *pos;
  while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9') {
    uint64_t digit = static_cast<uint64_t>(text[*pos] - '0');
    if (result > (UINT64_MAX - digit) / 10) return false;
    result = result * 10 + digit;
    ++*pos;
  }
  if (*pos == start) return false;
  *value = result;
  return true;
}

void SkipBlanks(const std::string& text, size_t* pos) {
  while (*pos < text.size() && IsBlank(text[*pos])) ++*pos;
}

bool Expect(const std::string& text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

bool ParseContentLength(const std::string& text, uint64_t* length) {
  size_t pos = 0;
  SkipBlanks(text, &pos);
  uint64_t value = 0;
  if (!ReadNumber(text, &pos, &value)) return false;
  SkipBlanks(text, &pos);
  if (pos != text.size()) return false;
  *length = value;
  return true;
}

bool ParseContentRange(const std::string& text, ContentRange* range) {
  size_t pos = 0;
  SkipBlanks(text, &pos);
  static const char kUnit[] = "bytes";
  for (const char* p = kUnit; *p; ++p) {
    char c = pos < text.size() ? text[pos] : '\0';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *p) return false;
    ++pos;
  }
  if (pos >= text.size() || !IsBlank(text[pos])) return false;
  SkipBlanks(text, &pos);
  ContentRange parsed;
  if (!ReadNumber(text, &pos, &parsed.first) || !Expect(text, &pos, '-') ||
      !ReadNumber(text, &pos, &parsed.last) || !Expect(text, &pos, '/') ||
      !ReadNumber(text, &pos, &parsed.complete_length)) {
    return false;
  }
  SkipBlanks(text, &pos);
  if (pos != text.size()) return false;
  if (parsed.first > parsed.last || parsed.last >= parsed.complete_length)
    return false;
  *range = parsed;
  return true;
}

}  // namespace lite_installer
