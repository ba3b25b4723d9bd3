// libFuzzer target: the brand settings text (comment blanking, then the
// JSON reader) and its lookups. Checks that blanking keeps the length and
// every byte inside strings, and that a text the reader took answers every
// lookup without crashing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "installer/brand/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string json;
  lite_installer::SettingsTextError error;
  if (lite_installer::BlankSettingsComments(text, &json, &error) &&
      json.size() != text.size()) {
    __builtin_trap();
  }
  lite_installer::SettingsDocument document;
  bool parsed = document.Parse(text, &error);
  if (!parsed && error.text.empty()) __builtin_trap();
  std::string value;
  bool flag = false;
  for (const char* key :
       {"install.setup_url", "brand_id", "languages.interface",
        "overridden_features.InstallerFacetune2023.params.firstScreenOff",
        "install.pin", "a", "a.b.c", "", "."}) {
    bool found = document.FindString(key, &value);
    if (!parsed && found) __builtin_trap();
    document.FindTriState(key);
    document.FindBool(key, &flag);
    document.IsPresentAndNotNull(key);
  }
  return 0;
}
