#include "installer/main/uac_notifications.h"

#include <windows.h>

#include <string>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

constexpr wchar_t kPoliciesKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kConsentValue[] = L"ConsentPromptBehaviorAdmin";

}  // namespace

bool AreUACNotificationsEnabled() {
  DWORD consent = 0;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPoliciesKey, 0, KEY_READ,
                      &opened) == ERROR_SUCCESS) {
    lite_util::ScopedRegKey key(opened);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.Get(), kConsentValue, nullptr, &type,
                           reinterpret_cast<BYTE*>(&value),
                           &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(value)) {
      consent = value;
    }
  }
  LOG_AS(INFO, "AreUACNotificationsEnabled")
      << L"Read HKEY_LOCAL_MACHINE\\" << kPoliciesKey << L"\\" << kConsentValue
      << " which is \"" << consent << "\"";
  return consent != 0;
}

}  // namespace lite_installer
