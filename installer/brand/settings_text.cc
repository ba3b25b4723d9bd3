#include "installer/brand/settings_text.h"

#include <jansson.h>

namespace lite_installer {
namespace {

constexpr char kInstallPrefix[] = "install.";
constexpr size_t kInstallPrefixLength = sizeof(kInstallPrefix) - 1;

// The 1-based line and column of byte |offset|, counted the way the JSON
// reader counts them (a line feed starts a new line).
void SetErrorPosition(const std::string& text, size_t offset,
                      const char* message, SettingsTextError* error) {
  int line = 1;
  int column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  error->text = message;
  error->line = line;
  error->column = column;
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// The key without "install.", or empty when it has no such prefix.
std::string KeyWithoutInstallPrefix(const std::string& key) {
  if (key.compare(0, kInstallPrefixLength, kInstallPrefix) != 0)
    return std::string();
  return key.substr(kInstallPrefixLength);
}

}  // namespace

bool BlankSettingsComments(const std::string& text, std::string* json,
                           SettingsTextError* error) {
  json->assign(text);
  std::string& out = *json;
  const size_t size = text.size();
  size_t i = 0;
  while (i < size) {
    char c = text[i];
    if (c == '"') {
      // A string: copied as it is, "//" and "/*" of URLs included; a
      // backslash escapes the character after it.
      for (++i; i < size && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
      ++i;  // past the closing quote (or beyond the end: unterminated)
      continue;
    }
    if (c != '/') {
      ++i;
      continue;
    }
    if (i + 1 >= size) {
      SetErrorPosition(text, size, "premature end of input", error);
      return false;
    }
    if (text[i + 1] == '/') {
      // Runs to the line end, which stays as the white space it is.
      for (; i < size && !IsLineEnd(text[i]); ++i) out[i] = ' ';
      continue;
    }
    if (text[i + 1] != '*') {
      SetErrorPosition(text, i, "unexpected character", error);
      return false;
    }
    size_t end = text.find("*/", i + 2);
    if (end == std::string::npos) {
      SetErrorPosition(text, size, "premature end of input", error);
      return false;
    }
    for (end += 2; i < end; ++i) {
      if (!IsLineEnd(text[i])) out[i] = ' ';
    }
  }
  return true;
}

void SettingsDocument::JsonRelease::operator()(json_t* json) const {
  json_decref(json);
}

SettingsDocument::SettingsDocument() = default;
SettingsDocument::~SettingsDocument() = default;

bool SettingsDocument::Parse(const std::string& text,
                             SettingsTextError* error) {
  root_.reset();
  std::string json;
  if (!BlankSettingsComments(text, &json, error)) return false;
  json_error_t json_error;
  json_t* root = json_loadb(json.data(), json.size(), 0, &json_error);
  if (!root) {
    error->text = json_error.text;
    error->line = json_error.line;
    error->column = json_error.column;
    return false;
  }
  root_.reset(root);
  return true;
}

json_t* SettingsDocument::Lookup(const std::string& key) const {
  json_t* node = root_.get();
  size_t start = 0;
  while (node) {
    size_t dot = key.find('.', start);
    std::string member = key.substr(
        start, dot == std::string::npos ? std::string::npos : dot - start);
    // json_object_get answers null for anything but an object.
    node = json_object_get(node, member.c_str());
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return node;
}

bool SettingsDocument::FindString(const std::string& key,
                                  std::string* value) const {
  json_t* node = Lookup(key);
  if (!json_is_string(node)) {
    std::string short_key = KeyWithoutInstallPrefix(key);
    if (short_key.empty()) return false;
    node = Lookup(short_key);
    if (!json_is_string(node)) return false;
  }
  // Strings may hold NUL characters ("\u0000"); the length counts them.
  value->assign(json_string_value(node), json_string_length(node));
  return true;
}

TriState SettingsDocument::FindTriState(const std::string& key) const {
  bool value = false;
  if (!FindBool(key, &value)) return kTriStateNotSet;
  return value ? kTriStateTrue : kTriStateFalse;
}

bool SettingsDocument::FindBool(const std::string& key, bool* value) const {
  json_t* node = Lookup(key);
  if (!json_is_boolean(node)) {
    std::string short_key = KeyWithoutInstallPrefix(key);
    if (short_key.empty()) return false;
    node = Lookup(short_key);
    if (!json_is_boolean(node)) return false;
  }
  *value = json_is_true(node);
  return true;
}

bool SettingsDocument::IsPresentAndNotNull(const std::string& key) const {
  json_t* node = Lookup(key);
  return node != nullptr && !json_is_null(node);
}

}  // namespace lite_installer
