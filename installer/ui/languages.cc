#include "installer/ui/languages.h"

namespace lite_installer {
namespace {

struct Language {
  LANGID id;
  const char* code;
};

const Language kLanguages[] = {
    {1028, "zh-TW"}, {1029, "cs"},    {1031, "de"},    {1033, "en"},
    {1036, "fr"},    {1040, "it"},    {1041, "ja"},    {1046, "pt-BR"},
    {1049, "ru"},    {1055, "tr"},    {1058, "uk"},    {1087, "kk"},
    {1091, "uz"},    {2052, "zh-CN"}, {2070, "pt-PT"}, {3082, "es"},
};

}  // namespace

std::string LanguageCodeFromLanguageId(LANGID language_id) {
  for (const Language& language : kLanguages) {
    if (language.id == language_id) return language.code;
  }
  return "en";
}

std::string LanguageCodeFromUserInterface() {
  return LanguageCodeFromLanguageId(::GetUserDefaultUILanguage());
}

LANGID LanguageIdFromCode(const std::string& code) {
  // Only full five-character and two-character codes match; "en" and
  // anything else take the English tables.
  if (code.size() != 5 && code.size() != 2) return kDefaultLanguageId;
  for (const Language& language : kLanguages) {
    if (code == language.code && code != "en") return language.id;
  }
  return kDefaultLanguageId;
}

}  // namespace lite_installer
