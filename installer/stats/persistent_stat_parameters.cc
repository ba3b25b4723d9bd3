#include "installer/stats/persistent_stat_parameters.h"

#include <windows.h>

#include "installer/lite_util/file_version.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/user_id.h"
#include "installer/stats/stat_query_builder.h"

namespace lite_installer {

const wchar_t kInstallStatValue[] = L"install_stat";

namespace {

constexpr wchar_t kLaunchCommandLineValue[] = L"InstallerSuccessLaunchCmdLine";

bool IsBrowserRunning() {
  std::wstring name = LaunchedEventName(
      lite_util::ReadValueFromBrowserKey(kLaunchCommandLineValue));
  if (name.empty()) return false;
  lite_util::ScopedEventHandle event(
      ::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  return event.IsValid();
}

std::wstring InstalledBrowserVersion() {
  std::wstring version = lite_util::ReadValueFromBrowserKey(L"kpv");
  if (version.empty()) version = lite_util::ReadValueFromBrowserKey(L"pv");
  return version;
}

std::wstring OwnVersion() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return lite_util::Utf8ToWide(lite_util::GetFileVersion(path));
}

}  // namespace

std::wstring LaunchedEventName(const std::wstring& command_line) {
  if (command_line.size() <= 2) return std::wstring();
  std::wstring path = command_line;
  if (!path.empty() && path.front() == L'"') path.erase(0, 1);
  if (!path.empty() && path.back() == L'"') path.pop_back();
  for (wchar_t& c : path) {
    if (c == L'\\') {
      c = L'!';
    } else if (c >= L'A' && c <= L'Z') {
      c = c - L'A' + L'a';
    }
  }
  return L"Global\\" + path;
}

void LoadPersistentStatParameters(StatQueryBuilder* builder) {
  std::wstring stored = lite_util::ReadValueFromBrowserKey(kInstallStatValue);
  if (!stored.empty()) builder->ApplyParameterText(stored);
  builder->SetParameter("launched", IsBrowserRunning() ? L"true" : L"false");
  builder->SetParameter(
      "ui", lite_util::Utf8ToWide(lite_util::GetUserIdWithoutBraces()));
  if (!builder->HasParameter("old_ver"))
    builder->SetParameter("old_ver", InstalledBrowserVersion());
  builder->SetParameter("lite_ver", OwnVersion());
  builder->SetParameter("installer_type", L"lite");
}

}  // namespace lite_installer
