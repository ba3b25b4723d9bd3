#include "installer/lite_util/bin_resource.h"

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_util {

std::string LoadBinResource(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, L"BIN");
  if (!resource) return std::string();
  // Resources live as long as the module: nothing to release.
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = ::SizeofResource(module, resource);
  if (!data || size == 0) return std::string();
  return std::string(static_cast<const char*>(data), size);
}

bool WriteBinFile(const std::wstring& path, const std::string& bytes) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.IsValid()) {
    PLOG(WARNING) << "Can't create file " << path;
    // An older file of the same name must not be taken for this one.
    if (::DeleteFileW(path.c_str())) {
      LOG(WARNING) << "Deleted the older file " << path;
    } else if (::GetLastError() != ERROR_FILE_NOT_FOUND &&
               ::GetLastError() != ERROR_PATH_NOT_FOUND) {
      PLOG(WARNING) << "Can't delete the older file " << path;
    }
    return false;
  }
  DWORD written = 0;
  if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr) ||
      written != bytes.size()) {
    PLOG(WARNING) << "Can't write file " << path;
    file.Close();
    ::DeleteFileW(path.c_str());
    return false;
  }
  return true;
}

}  // namespace lite_util
