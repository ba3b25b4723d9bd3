// The user's region and interface language, which choose the brand package
// of an autodetecting installer and the default language of the settings.
#ifndef INSTALLER_BRAND_USER_LOCALE_H_
#define INSTALLER_BRAND_USER_LOCALE_H_

#include <string>

namespace lite_installer {

// The ISO 3166 alpha-2 code of the user's nation (GetUserGeoID and
// GetGeoInfoW), such as "RU"; empty when Windows cannot say.
// The test build takes the geo id from the seam "USER_GEO_ID" (a decimal
// GEOID; -1 is GEOID_NOT_AVAILABLE) and asks GetGeoInfoW about that one.
std::string GetUserRegion();

// The language code of the user's interface language, such as "ru" or
// "pt-BR"; "en" for a language without string tables.
// The test build takes the language id from the seam "UI_LANGUAGE_ID" (a
// decimal LANGID) instead of GetUserDefaultUILanguage.
std::string GetUserInterfaceLanguageCode();

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_USER_LOCALE_H_
