#include "installer/lite_util/registry.h"

#include <cwchar>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_util {
namespace {

constexpr wchar_t kBrowserKeyBase[] = L"Software\\Kelvra\\KelvraBrowser";
// The install mode this build serves adds nothing to the key.
constexpr wchar_t kInstallModeSuffix[] = L"";

// "HKEY_CURRENT_USER\<key>\<value>", the way every registry line names it.
std::wstring DescribeValue(const std::wstring& key_path,
                           const std::wstring& value_name) {
  return L"HKEY_CURRENT_USER\\" + key_path + L"\\" + value_name;
}

LONG OpenOrCreateForWrite(const std::wstring& key_path, ScopedRegKey* key) {
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           key->Receive(), nullptr);
}

// Reads a REG_SZ or REG_EXPAND_SZ value (unexpanded) without logging.
LONG QueryStringValue(HKEY key, const std::wstring& value_name,
                      std::wstring* value) {
  // The value may grow between the size query and the read.
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExW(key, value_name.c_str(), nullptr, &type,
                                     nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD buffer_size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    result = ::RegQueryValueExW(key, value_name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(&buffer[0]),
                                &buffer_size);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
    // The stored data need not end with a NUL, or may hold several.
    buffer.resize(buffer_size / sizeof(wchar_t));
    size_t end = buffer.find(L'\0');
    if (end != std::wstring::npos) buffer.resize(end);
    *value = buffer;
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

LONG ReadBrowserValueQuietly(const std::wstring& value_name,
                             std::wstring* value) {
  ScopedRegKey key;
  LONG result = ::RegOpenKeyExW(HKEY_CURRENT_USER, BrowserRegistryKey(), 0,
                                KEY_READ, key.Receive());
  if (result != ERROR_SUCCESS) return result;
  return QueryStringValue(key.Get(), value_name, value);
}

bool PathExists(const std::wstring& path) {
  return !path.empty() &&
         ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool StoreValueInRegistry(const std::wstring& key_path,
                          const std::wstring& value_name,
                          const std::wstring& value) {
  ScopedRegKey key;
  LONG result = OpenOrCreateForWrite(key_path, &key);
  if (result == ERROR_SUCCESS) {
    DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    result = ::RegSetValueExW(key.Get(), value_name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              size);
  }
  if (result != ERROR_SUCCESS) {
    LOG(INFO) << "Failed to store " << DescribeValue(key_path, value_name)
              << " = " << value;
    return false;
  }
  LOG(INFO) << "Stored " << DescribeValue(key_path, value_name) << " = "
            << value;
  return true;
}

bool ReadValueFromRegistry(const std::wstring& key_path,
                           const std::wstring& value_name,
                           std::wstring* value) {
  ScopedRegKey key;
  LONG result = ::RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0,
                                KEY_READ, key.Receive());
  if (result == ERROR_SUCCESS) {
    result = QueryStringValue(key.Get(), value_name, value);
    if (result == ERROR_FILE_NOT_FOUND) {
      LOG(INFO) << "No value to read: "
                << DescribeValue(key_path, value_name);
      return false;
    }
  }
  if (result != ERROR_SUCCESS) {
    LOG(INFO) << "Failed to read " << DescribeValue(key_path, value_name);
    return false;
  }
  LOG(INFO) << "Read " << DescribeValue(key_path, value_name) << " which is \""
            << *value << "\"";
  return true;
}

bool RemoveValueFromRegistry(const std::wstring& key_path,
                             const std::wstring& value_name) {
  ScopedRegKey key;
  LONG result = OpenOrCreateForWrite(key_path, &key);
  if (result == ERROR_SUCCESS) {
    result = ::RegDeleteValueW(key.Get(), value_name.c_str());
    if (result == ERROR_FILE_NOT_FOUND) {
      LOG(INFO) << "No value to remove: "
                << DescribeValue(key_path, value_name);
      return false;
    }
  }
  if (result != ERROR_SUCCESS) {
    LOG(INFO) << "Failed to remove " << DescribeValue(key_path, value_name);
    return false;
  }
  LOG(INFO) << "Removed " << DescribeValue(key_path, value_name);
  return true;
}

bool RegistryValueExist(HKEY root, const std::wstring& key_path,
                        const std::wstring& value_name) {
  ScopedRegKey key;
  LONG result =
      ::RegOpenKeyExW(root, key_path.c_str(), 0, KEY_READ, key.Receive());
  if (result != ERROR_SUCCESS) {
    if (result != ERROR_FILE_NOT_FOUND)
      ELOG(ERROR, result) << "Can't open registry key: " << key_path;
    return false;
  }
  return ::RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

const wchar_t* BrowserRegistryKey() {
  struct KeyText {
    wchar_t text[MAX_PATH];
    KeyText() {
      std::wstring full = std::wstring(kBrowserKeyBase) + kInstallModeSuffix;
      size_t length = full.size() < MAX_PATH - 1 ? full.size() : MAX_PATH - 1;
      std::wmemcpy(text, full.c_str(), length);
      text[length] = L'\0';
    }
  };
  static const KeyText key;
  return key.text;
}

bool StoreValueInBrowserKey(const std::wstring& value_name,
                            const std::wstring& value) {
  return StoreValueInRegistry(BrowserRegistryKey(), value_name, value);
}

std::wstring ReadValueFromBrowserKey(const std::wstring& value_name) {
  std::wstring value;
  if (!ReadValueFromRegistry(BrowserRegistryKey(), value_name, &value))
    return std::wstring();
  return value;
}

bool RemoveValueFromBrowserKey(const std::wstring& value_name) {
  return RemoveValueFromRegistry(BrowserRegistryKey(), value_name);
}

std::wstring ReadFilePathFromRegistry(const std::wstring& value_name) {
  std::wstring path;
  if (ReadBrowserValueQuietly(value_name, &path) != ERROR_SUCCESS ||
      !PathExists(path)) {
    path.clear();
  }
  LOG(INFO) << "Read " << DescribeValue(BrowserRegistryKey(), value_name)
            << " which is \"" << path << "\"";
  return path;
}

}  // namespace lite_util
