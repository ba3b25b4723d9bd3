// Texts of the string tables by id and language.
#ifndef INSTALLER_UI_LOCALIZED_STRINGS_H_
#define INSTALLER_UI_LOCALIZED_STRINGS_H_

#include <windows.h>

#include <string>

namespace lite_installer {

// Empty when the language has no such string. There is no fallback to
// another language: every language id in use has its own tables.
std::wstring LoadLocalizedString(int string_id, int language_id);
// The same from another module's tables (tests read the installer's own).
std::wstring LoadLocalizedStringFrom(HMODULE module, int string_id,
                                     int language_id);

}  // namespace lite_installer

#endif  // INSTALLER_UI_LOCALIZED_STRINGS_H_
