// Logged access to string values under HKEY_CURRENT_USER, and the browser's
// own key there (HKEY_CURRENT_USER\Software\Kelvra\KelvraBrowser), through
// which the installer hands paths and settings to the browser's setup.
#ifndef INSTALLER_LITE_UTIL_REGISTRY_H_
#define INSTALLER_LITE_UTIL_REGISTRY_H_

#include <windows.h>

#include <string>

namespace lite_util {

// Writes a REG_SZ value; the key is created when missing.
bool StoreValueInRegistry(const std::wstring& key_path,
                          const std::wstring& value_name,
                          const std::wstring& value);

// Reads a string value without creating the key. A missing value returns
// false with its own log line ("No value to read: ...").
bool ReadValueFromRegistry(const std::wstring& key_path,
                           const std::wstring& value_name, std::wstring* value);

// Deletes a value; the key is created when missing, so that a first run
// leaves the same key behind as later ones. A missing value returns false.
bool RemoveValueFromRegistry(const std::wstring& key_path,
                             const std::wstring& value_name);

// True when |value_name| can be queried under |root|\|key_path|. A key that
// cannot be opened for another reason than "not found" is logged as error.
bool RegistryValueExist(HKEY root, const std::wstring& key_path,
                        const std::wstring& value_name);

// "Software\Kelvra\KelvraBrowser" plus the install-mode suffix (empty in this
// build); built once and kept for the process.
const wchar_t* BrowserRegistryKey();

// The operations above on the browser key.
bool StoreValueInBrowserKey(const std::wstring& value_name,
                            const std::wstring& value);
// The value, or empty when it is absent or unreadable.
std::wstring ReadValueFromBrowserKey(const std::wstring& value_name);
bool RemoveValueFromBrowserKey(const std::wstring& value_name);

// The path stored in the browser key under |value_name|, only when a file or
// folder of that path exists; otherwise empty.
std::wstring ReadFilePathFromRegistry(const std::wstring& value_name);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_REGISTRY_H_
