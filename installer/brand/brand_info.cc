#include "installer/brand/brand_info.h"

#include "installer/ui/languages.h"

namespace lite_installer {

BrandInfo::BrandInfo(const std::wstring& temp_dir) : temp_dir_(temp_dir) {}

void BrandInfo::GetInfo(const std::string&) {
  // The brand packages come with the brand-package work; until then the
  // record keeps its empty values and the defaults complete it.
}

void BrandInfo::ApplyBrandDefaults() {
  if (default_language_.empty())
    default_language_ = LanguageCodeFromUserInterface();
  language_id_ = LanguageIdFromCode(default_language_);
}

}  // namespace lite_installer
