#include "installer/brand/user_locale.h"

#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"
#include "installer/ui/languages.h"

namespace lite_installer {
namespace {

// A decimal seam value within [min, max]; false when there is none.
bool ReadNumericSeam(const char* name, long min, long max, long* number) {
  std::string text;
  if (!lite_util::TestSeamValue(name, &text) || text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return false;
  *number = value;
  return true;
}

GEOID GetUserNationId() {
  long seam = 0;
  if (ReadNumericSeam("USER_GEO_ID", LONG_MIN, LONG_MAX, &seam))
    return static_cast<GEOID>(seam);
  return ::GetUserGeoID(GEOCLASS_NATION);
}

LANGID GetUserInterfaceLanguageId() {
  long seam = 0;
  if (ReadNumericSeam("UI_LANGUAGE_ID", 0, 0xFFFF, &seam))
    return static_cast<LANGID>(seam);
  return ::GetUserDefaultUILanguage();
}

}  // namespace

std::string GetUserRegion() {
  GEOID nation = GetUserNationId();
  if (nation == GEOID_NOT_AVAILABLE) return std::string();
  // Two letters and the terminator; anything else is not a usable code.
  wchar_t code[3] = {};
  if (::GetGeoInfoW(nation, GEO_ISO2, code, 3, 0) != 3) return std::string();
  return lite_util::NarrowLowBytes(std::wstring(code, 2));
}

std::string GetUserInterfaceLanguageCode() {
  return LanguageCodeFromLanguageId(GetUserInterfaceLanguageId());
}

}  // namespace lite_installer
