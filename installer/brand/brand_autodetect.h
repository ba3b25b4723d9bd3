// Which brand an installer run with "--brand-name=auto" takes: a fixed table
// from the user's region and interface language to a brand name.
#ifndef INSTALLER_BRAND_BRAND_AUTODETECT_H_
#define INSTALLER_BRAND_BRAND_AUTODETECT_H_

#include <string>

namespace lite_installer {

// The brand name used when no row of the table matches.
constexpr char kDefaultBrandName[] = "kelvra";

// The brand of the first table row matching |region| (ISO 3166 alpha-2, may
// be empty) and |language_code|; false when none matches. Comparisons are
// exact and case-sensitive.
bool FindBrandNameForLocale(const std::string& region,
                            const std::string& language_code,
                            std::string* brand_name);

// The brand for this user's region and interface language, or
// kDefaultBrandName; logs what it found.
std::string AutodetectBrandName();

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_BRAND_AUTODETECT_H_
