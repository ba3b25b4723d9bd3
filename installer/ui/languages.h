// The installer's sixteen languages: codes such as "ru" or "pt-BR" and the
// Windows language ids of their string tables.
#ifndef INSTALLER_UI_LANGUAGES_H_
#define INSTALLER_UI_LANGUAGES_H_

#include <windows.h>

#include <string>

namespace lite_installer {

constexpr LANGID kDefaultLanguageId = 1033;

// The code of one of the sixteen language ids; "en" for any other id.
std::string LanguageCodeFromLanguageId(LANGID language_id);
// The code of the user's interface language (GetUserDefaultUILanguage).
std::string LanguageCodeFromUserInterface();
// The id of the string tables for a code; 1033 for unknown codes.
LANGID LanguageIdFromCode(const std::string& code);

}  // namespace lite_installer

#endif  // INSTALLER_UI_LANGUAGES_H_
