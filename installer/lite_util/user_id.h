// The per-user id: a GUID with braces kept in %APPDATA%\Kelvra\ui, created
// once per Windows user. A registry marker ("UICreated_" + user name) records
// that it was created, so that a user whose file went missing is not given a
// second id.
#ifndef INSTALLER_LITE_UTIL_USER_ID_H_
#define INSTALLER_LITE_UTIL_USER_ID_H_

#include <string>

namespace lite_util {

// The largest user id file that is accepted.
constexpr size_t kMaxUserIdFileSize = 64;

// %APPDATA%\Kelvra\ui; with |create_directory| the folders are made. Empty on
// failure.
std::wstring GetUserIdFilePath(bool create_directory);

// The id read from the file, or a new one made and stored when the user has
// none yet; empty when neither works or when the marker says an id was made
// before.
std::string GetUserIdInternal();

// GetUserIdInternal without its enclosing braces: the id as the web
// services take it.
std::string GetUserIdWithoutBraces();

// Sets the marker: HKCU\Software\AppDataLow\Kelvra on Vista and later,
// HKCU\Software\Kelvra before.
bool RememberUidIsCreated();

// Whether the marker exists under either key.
bool IsUidCreated();

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_USER_ID_H_
