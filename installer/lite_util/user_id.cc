#include "installer/lite_util/user_id.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/windows_release.h"

namespace lite_util {
namespace {

constexpr wchar_t kMarkerKeyBeforeVista[] = L"Software\\Kelvra";
// Low-integrity processes of the browser can write here on Vista and later.
constexpr wchar_t kMarkerKey[] = L"Software\\AppDataLow\\Kelvra";
// One byte more than the largest valid file, so that a longer file shows
// as such without reading it all.
constexpr size_t kUserIdReadLimit = kMaxUserIdFileSize + 1;

// "UICreated_" + the Windows user name; false when the name is unknown.
bool GetUidCreatedValueName(std::wstring* name) {
  struct UserName {
    bool known = false;
    std::wstring text;
    UserName() {
      wchar_t buffer[257];
      DWORD size = 257;
      known = ::GetUserNameW(buffer, &size) != 0;
      if (known) text = buffer;
    }
  };
  static const UserName user;
  if (!user.known) return false;
  *name = L"UICreated_" + user.text;
  return true;
}

const wchar_t* MarkerKeyForThisSystem() {
  return GetWindowsRelease() >= kWindowsVista ? kMarkerKey
                                              : kMarkerKeyBeforeVista;
}

// Reads the whole file when it holds at most |limit| bytes.
bool ReadSmallFile(const std::wstring& path, size_t limit, std::string* out) {
  ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  std::string content(limit + 1, '\0');
  size_t total = 0;
  while (total < content.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), &content[total],
                    static_cast<DWORD>(content.size() - total), &read,
                    nullptr)) {
      return false;
    }
    if (read == 0) break;
    total += read;
  }
  if (total > limit) return false;
  content.resize(total);
  *out = content;
  return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& content) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.IsValid()) return false;
  DWORD written = 0;
  return ::WriteFile(file.Get(), content.data(),
                     static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

bool ReadUserIdFromFile(const std::wstring& path, std::string* user_id) {
  std::string content;
  if (!ReadSmallFile(path, kUserIdReadLimit, &content)) {
    LOG(ERROR) << "Failed to read file " << path;
    return false;
  }
  if (content.empty() || content.size() > kMaxUserIdFileSize) {
    LOG(ERROR) << "Incorrect User ID file content";
    return false;
  }
  *user_id = content;
  return true;
}

// The 38-character "{XXXXXXXX-...}" form; empty when no GUID can be made.
std::string NewGuidText() {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid))) return std::string();
  wchar_t text[40];
  if (::StringFromGUID2(guid, text, 40) == 0) return std::string();
  return WideToUtf8(text);
}

std::string GenerateAndStoreUserId() {
  std::string user_id = NewGuidText();
  std::wstring path = GetUserIdFilePath(true);
  if (path.empty()) return std::string();
  if (!WriteWholeFile(path, user_id)) {
    LOG(ERROR) << "Can't write file " << path;
    return std::string();
  }
  if (!RememberUidIsCreated()) {
    LOG(ERROR) << "Can't create 'UI created' entry";
    return std::string();
  }
  return user_id;
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring GetUserIdFilePath(bool create_directory) {
  wchar_t folder[MAX_PATH];
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA,
                                 create_directory)) {
    PLOG(ERROR) << "Can't get path to AppData folder";
    return std::wstring();
  }
  std::wstring directory = std::wstring(folder) + L"\\Kelvra";
  if (create_directory) {
    int result = ::SHCreateDirectoryExW(nullptr, directory.c_str(), nullptr);
    bool exists = (result == ERROR_ALREADY_EXISTS ||
                   result == ERROR_FILE_EXISTS) &&
                  IsDirectory(directory);
    if (result != ERROR_SUCCESS && !exists) {
      ELOG(ERROR, static_cast<DWORD>(result))
          << "Can't create directory: " << directory;
      return std::wstring();
    }
  }
  return directory + L"\\ui";
}

std::string GetUserIdInternal() {
  std::wstring path = GetUserIdFilePath(false);
  if (!path.empty() &&
      ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    std::string user_id;
    if (ReadUserIdFromFile(path, &user_id)) return user_id;
  }
  // A user who had an id before keeps no id rather than getting a second
  // one: statistics would count them twice.
  if (IsUidCreated()) {
    LOG(INFO) << "Registry entry already exists, skip User ID file generation";
    return std::string();
  }
  return GenerateAndStoreUserId();
}

bool RememberUidIsCreated() {
  std::wstring name;
  if (!GetUidCreatedValueName(&name)) return false;
  const wchar_t* key_path = MarkerKeyForThisSystem();
  ScopedRegKey key;
  LONG result = ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                  nullptr, key.Receive(), nullptr);
  if (result != ERROR_SUCCESS) {
    ELOG(ERROR, result) << "Can't open registry key: " << key_path;
    return false;
  }
  DWORD one = 1;
  result = ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&one), sizeof(one));
  if (result != ERROR_SUCCESS) {
    ELOG(ERROR, result) << "Can't create registry value '" << name << "' at '"
                        << key_path;
    return false;
  }
  return true;
}

bool IsUidCreated() {
  std::wstring name;
  if (!GetUidCreatedValueName(&name)) return false;
  if (RegistryValueExist(HKEY_CURRENT_USER, kMarkerKeyBeforeVista, name))
    return true;
  return GetWindowsRelease() >= kWindowsVista &&
         RegistryValueExist(HKEY_CURRENT_USER, kMarkerKey, name);
}

std::string GetUserIdWithoutBraces() {
  std::string id = GetUserIdInternal();
  if (id.size() >= 2 && id.front() == '{' && id.back() == '}')
    return id.substr(1, id.size() - 2);
  return id;
}

}  // namespace lite_util
