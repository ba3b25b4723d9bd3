#include "installer/brand/brand_autodetect.h"

#include "installer/brand/user_locale.h"
#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

// Tried from the first row to the last; an empty cell matches anything.
const struct {
  const char* region;
  const char* language;
  const char* brand;
} kBrandsByLocale[] = {
    {"RU", "uk", "ua_uk"}, {"RU", "", "kelvra"}, {"UA", "ru", "ua_ru"},
    {"UA", "", "ua_uk"},   {"TR", "", "tb"},     {"", "ru", "kelvra"},
    {"", "uk", "ua_uk"},   {"", "tr", "tb"},
};

bool CellMatches(const char* cell, const std::string& value) {
  return *cell == '\0' || value == cell;
}

}  // namespace

bool FindBrandNameForLocale(const std::string& region,
                            const std::string& language_code,
                            std::string* brand_name) {
  for (const auto& row : kBrandsByLocale) {
    if (CellMatches(row.region, region) &&
        CellMatches(row.language, language_code)) {
      *brand_name = row.brand;
      return true;
    }
  }
  return false;
}

std::string AutodetectBrandName() {
  std::string region = GetUserRegion();
  LOG(INFO) << "User region: " << region;
  std::string language = GetUserInterfaceLanguageCode();
  LOG(INFO) << "User locale: " << language;
  std::string brand_name;
  if (FindBrandNameForLocale(region, language, &brand_name)) {
    LOG(INFO) << "Detected brand-name: " << brand_name;
    return brand_name;
  }
  LOG(INFO) << "Didn't found brand-name. Use default: " << kDefaultBrandName;
  return kDefaultBrandName;
}

}  // namespace lite_installer
