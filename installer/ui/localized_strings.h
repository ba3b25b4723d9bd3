// Texts of the string tables by id and language.
#ifndef INSTALLER_UI_LOCALIZED_STRINGS_H_
#define INSTALLER_UI_LOCALIZED_STRINGS_H_

#include <string>

namespace lite_installer {

// Empty when the language has no such string.
std::wstring LoadLocalizedString(int string_id, int language_id);

}  // namespace lite_installer

#endif  // INSTALLER_UI_LOCALIZED_STRINGS_H_
