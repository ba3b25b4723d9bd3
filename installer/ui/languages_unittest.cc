#include "installer/ui/languages.h"

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

const struct {
  LANGID id;
  const char* code;
} kTable[] = {
    {1028, "zh-TW"}, {1029, "cs"}, {1031, "de"},    {1033, "en"},
    {1036, "fr"},    {1040, "it"}, {1041, "ja"},    {1046, "pt-BR"},
    {1049, "ru"},    {1055, "tr"}, {1058, "uk"},    {1087, "kk"},
    {1091, "uz"},    {2052, "zh-CN"}, {2070, "pt-PT"}, {3082, "es"},
};

TEST(LanguagesTest, EveryLanguageMapsBothWays) {
  for (const auto& language : kTable) {
    EXPECT_EQ(LanguageCodeFromLanguageId(language.id), language.code);
    EXPECT_EQ(LanguageIdFromCode(language.code), language.id);
  }
}

TEST(LanguagesTest, OtherInterfaceLanguagesAreEnglish) {
  // Spanish with the traditional sort, Russian of Moldova, Chinese of Hong
  // Kong, neutral languages: none has tables of its own.
  for (LANGID id : {1034, 2073, 3076, 0x0019, 0x0409 + 0x400, 0, 0xFFFF})
    EXPECT_EQ(LanguageCodeFromLanguageId(static_cast<LANGID>(id)), "en") << id;
}

TEST(LanguagesTest, CodesMatchExactlyByLength) {
  for (const char* code : {"pt", "zh", "zh-HK", "en-US", "EN", "RU", "ru-RU",
                           "pt-br", "Zh-CN", "r", "", "rus", "ru ", "es-ES"})
    EXPECT_EQ(LanguageIdFromCode(code), 1033) << code;
}

TEST(LanguagesTest, UserInterfaceLanguageOfThisProcessIsOneOfTheCodes) {
  // Wine derives the interface language from the locale of the test run;
  // whatever it is, the answer must be one of the sixteen codes.
  std::string code = LanguageCodeFromUserInterface();
  bool known = false;
  for (const auto& language : kTable) known |= code == language.code;
  EXPECT_TRUE(known) << code;
  EXPECT_EQ(code, LanguageCodeFromLanguageId(::GetUserDefaultUILanguage()));
}

}  // namespace
}  // namespace lite_installer
