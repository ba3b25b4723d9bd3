#include "installer/lite_util/file_version.h"

#include <winver.h>

#include <string>
#include <vector>

#include "installer/lite_util/logging/log.h"

namespace lite_util {
namespace {

// Copies the fixed part of |path|'s version resource; false when the file
// has no version resource or its fixed part is short.
bool ReadFixedFileInfo(const std::wstring& path, VS_FIXEDFILEINFO* info) {
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
  void* fixed = nullptr;
  UINT fixed_size = 0;
  if (!::VerQueryValueW(data.data(), L"\\", &fixed, &fixed_size) || !fixed ||
      fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  *info = *static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return true;
}

}  // namespace

std::string GetFileVersion(const std::wstring& path) {
  VS_FIXEDFILEINFO info;
  if (!ReadFixedFileInfo(path, &info)) return "0.0.0.0";
  LOG(INFO) << "File: " << path << " Version: " << info.dwProductVersionMS
            << "." << info.dwProductVersionLS;
  return std::to_string(HIWORD(info.dwProductVersionMS)) + "." +
         std::to_string(LOWORD(info.dwProductVersionMS)) + "." +
         std::to_string(HIWORD(info.dwProductVersionLS)) + "." +
         std::to_string(LOWORD(info.dwProductVersionLS));
}

bool ReadVersionResourceFileDate(const std::wstring& path, DWORD* date_ms,
                                 DWORD* date_ls) {
  VS_FIXEDFILEINFO info;
  if (!ReadFixedFileInfo(path, &info)) return false;
  *date_ms = info.dwFileDateMS;
  *date_ls = info.dwFileDateLS;
  return true;
}

bool ReadFileTimes(const std::wstring& path, FileTimes* times) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
    return false;
  times->creation = data.ftCreationTime;
  times->last_access = data.ftLastAccessTime;
  times->last_write = data.ftLastWriteTime;
  return true;
}

}  // namespace lite_util
