// The brand and partner settings text: one JSON document in which "//" and
// "/* */" comments may stand wherever white space may. Takes bytes and gives
// values; calls no window, registry, file or network function, so it can be
// tested and fuzzed alone.
#ifndef INSTALLER_BRAND_SETTINGS_TEXT_H_
#define INSTALLER_BRAND_SETTINGS_TEXT_H_

#include <cstddef>
#include <memory>
#include <string>

struct json_t;

namespace lite_installer {

// Why a settings text was refused, with a 1-based line and column.
struct SettingsTextError {
  std::string text;
  int line = 0;
  int column = 0;
};

// Replaces every comment outside JSON strings by spaces (line breaks inside
// block comments are kept, so positions stay the same for the JSON reader).
// A "/" that starts no comment is refused as "unexpected character"; a block
// comment without its "*/", or a "/" at the very end, as "premature end of
// input". On refusal |json| is left unspecified.
bool BlankSettingsComments(const std::string& text, std::string* json,
                           SettingsTextError* error);

// Tri-state values of the settings (a JSON true or false, or nothing).
enum TriState : int {
  kTriStateNotSet = 0,
  kTriStateTrue = 1,
  kTriStateFalse = 2,
};

// A parsed settings text and the lookups of the brand settings. A key is a
// dotted path of object members ("install.setup_url"); a missing member, or
// something other than an object on the way, is "absent". The string,
// tri-state and bool lookups retry a key that begins with "install." without
// that prefix at the top level when the first lookup gives nothing usable.
class SettingsDocument {
 public:
  SettingsDocument();
  ~SettingsDocument();
  SettingsDocument(const SettingsDocument&) = delete;
  SettingsDocument& operator=(const SettingsDocument&) = delete;

  // Parses |text|; on failure the document stays empty (every key absent).
  bool Parse(const std::string& text, SettingsTextError* error);

  // The string at |key|; false when it is absent or not a JSON string.
  bool FindString(const std::string& key, std::string* value) const;
  // kTriStateTrue or kTriStateFalse for a JSON boolean; kTriStateNotSet for
  // anything else.
  TriState FindTriState(const std::string& key) const;
  // A JSON boolean at |key|; false when there is none.
  bool FindBool(const std::string& key, bool* value) const;
  // True when |key| is present with any value but null (no retry).
  bool IsPresentAndNotNull(const std::string& key) const;

 private:
  struct JsonRelease {
    void operator()(json_t* json) const;
  };

  // The value at the dotted path, or null.
  json_t* Lookup(const std::string& key) const;

  std::unique_ptr<json_t, JsonRelease> root_;
};

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_SETTINGS_TEXT_H_
