#include "installer/ui/localized_strings.h"

#include <windows.h>

namespace lite_installer {

std::wstring LoadLocalizedString(int string_id, int language_id) {
  return LoadLocalizedStringFrom(nullptr, string_id, language_id);
}

std::wstring LoadLocalizedStringFrom(HMODULE module, int string_id,
                                     int language_id) {
  if (string_id < 0) return std::wstring();
  // String n lives in block n / 16 + 1 at position n mod 16.
  HRSRC block = ::FindResourceExW(
      module, RT_STRING, MAKEINTRESOURCEW(string_id / 16 + 1),
      static_cast<WORD>(language_id));
  if (!block) return std::wstring();
  HGLOBAL loaded = ::LoadResource(module, block);
  const auto* data =
      loaded ? static_cast<const WCHAR*>(::LockResource(loaded)) : nullptr;
  if (!data) return std::wstring();
  size_t units = ::SizeofResource(module, block) / sizeof(WCHAR);
  size_t at = 0;
  // Each entry is a count followed by that many UTF-16 units.
  for (int entry = 0; entry < string_id % 16; ++entry) {
    if (at >= units) return std::wstring();
    at += 1 + data[at];
  }
  if (at >= units || data[at] == 0 || at + 1 + data[at] > units)
    return std::wstring();
  return std::wstring(data + at + 1, data[at]);
}

}  // namespace lite_installer
