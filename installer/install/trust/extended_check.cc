#include "installer/install/trust/extended_check.h"

#include <windows.h>

#include <winver.h>

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

bool ParseVersion(const std::string& text, std::vector<uint32_t>* version) {
  std::vector<uint32_t> components;
  size_t start = 0;
  while (true) {
    size_t end = text.find('.', start);
    if (end == std::string::npos) end = text.size();
    if (end == start || end - start > 9) return false;
    uint32_t value = 0;
    for (size_t i = start; i < end; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    components.push_back(value);
    if (end == text.size()) break;
    start = end + 1;
  }
  version->swap(components);
  return true;
}

bool IsOlderVersion(const std::vector<uint32_t>& a,
                    const std::vector<uint32_t>& b) {
  const size_t count = a.size() > b.size() ? a.size() : b.size();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t left = i < a.size() ? a[i] : 0;
    const uint32_t right = i < b.size() ? b[i] : 0;
    if (left != right) return left < right;
  }
  return false;
}

bool ExtendedCheckEnabled(const ExtendedCheckConfig& config,
                          lite_util::WindowsRelease release,
                          VersionReader windows_version,
                          VersionReader crypt32_version) {
  if (release > lite_util::kWindows8_1 || !config.win7update) return false;
  std::vector<uint32_t> limit;
  if (ParseVersion(config.win7_version, &limit) &&
      !IsOlderVersion(limit, windows_version())) {
    return false;
  }
  if (ParseVersion(config.crypt_version, &limit) &&
      !IsOlderVersion(limit, crypt32_version())) {
    return false;
  }
  return true;
}

bool HashOnlyRetryAllowed(long status) {
  return status != 0 && status != static_cast<long>(CERT_E_REVOKED) &&
         status != static_cast<long>(TRUST_E_EXPLICIT_DISTRUST);
}

bool IsExtendedCheckEnabled(const ExtendedCheckConfig& config) {
  return ExtendedCheckEnabled(config, lite_util::GetWindowsRelease(),
                              GetWindowsVersion, GetCrypt32DllVersion);
}

std::vector<uint32_t> GetWindowsVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!::GetVersionExW(&info)) {
    LOG(ERROR) << "Failed to get Windows version";
    return {};
  }
  return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
          lite_util::GetWindowsUbr()};
}

std::vector<uint32_t> GetCrypt32DllVersion() {
  wchar_t system_dir[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(system_dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    LOG(ERROR) << " CreateFileVersionInfo error";
    return {};
  }
  std::wstring path = std::wstring(system_dir) + L"\\crypt32.dll";
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  std::vector<BYTE> data(size);
  void* fixed = nullptr;
  UINT fixed_size = 0;
  if (size == 0 ||
      !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", &fixed, &fixed_size) || !fixed ||
      fixed_size < sizeof(VS_FIXEDFILEINFO)) {
    LOG(ERROR) << " CreateFileVersionInfo error";
    return {};
  }
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
          HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

}  // namespace lite_installer
