// Reads the string tables out of the built installer, by language id, the
// way the installer itself loads them.
#include "installer/ui/localized_strings.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

const int kLanguageIds[] = {1028, 1029, 1031, 1033, 1036, 1040, 1041, 1046,
                            1049, 1055, 1058, 1087, 1091, 2052, 2070, 3082};
const wchar_t kNoBreakSpace = 0x00A0;

class LocalizedStringsTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    dir.resize(dir.find_last_of(L'\\') + 1);
    installer_.Set(::LoadLibraryExW((dir + L"lite_installer.exe").c_str(),
                                    nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE |
                                        LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(installer_.IsValid()) << ::GetLastError();
  }

  std::wstring Load(int id, int language) {
    return LoadLocalizedStringFrom(installer_.Get(), id, language);
  }

  lite_util::ScopedModule installer_;
};

TEST_F(LocalizedStringsTest, EveryLanguageHasEveryText) {
  for (int language : kLanguageIds) {
    for (int id = 400; id <= 467; ++id) {
      if (id == 449) continue;
      EXPECT_FALSE(Load(id, language).empty())
          << "id " << id << " language " << language;
    }
    EXPECT_TRUE(Load(449, language).empty()) << language;
  }
}

TEST_F(LocalizedStringsTest, EnglishTextsOfTheProcessorMessage) {
  EXPECT_EQ(Load(452, 1033), std::wstring(L"Kelvra") + kNoBreakSpace +
                                 L"Browser Installation");
  EXPECT_EQ(Load(453, 1033), std::wstring(L"Couldn't install Kelvra") +
                                 kNoBreakSpace +
                                 L"Browser on this computer.");
  EXPECT_EQ(Load(454, 1033), L"Your processor does not support SSE2.");
  EXPECT_EQ(Load(455, 1033), L"The processor doesn't support SSE3.");
  EXPECT_EQ(Load(437, 1033), L"OK");
  EXPECT_EQ(Load(400, 1033), L"Kelvra");
}

TEST_F(LocalizedStringsTest, RussianDiffersInMeaningWhereItShould) {
  EXPECT_EQ(Load(437, 1049), L"Понятно");
  EXPECT_EQ(Load(464, 1049), L"Обновить");
  EXPECT_NE(Load(466, 1049), Load(432, 1049));
}

TEST_F(LocalizedStringsTest, FacetuneTextsAreRussianEverywhere) {
  for (int id : {405, 407, 408, 409, 412, 462}) {
    for (int language : kLanguageIds)
      EXPECT_EQ(Load(id, language), Load(id, 1049)) << id << " " << language;
  }
}

TEST_F(LocalizedStringsTest, LicenceLineKeepsItsLinkMarkup) {
  for (int language : kLanguageIds) {
    std::wstring text = Load(438, language);
    size_t open = text.find(L"((");
    size_t close = text.find(L"))");
    ASSERT_NE(open, std::wstring::npos) << language;
    ASSERT_NE(close, std::wstring::npos) << language;
    EXPECT_LT(open + 2, close) << language;
  }
}

TEST_F(LocalizedStringsTest, SearchSiteComesFromTheBuildConfiguration) {
  for (int language : kLanguageIds) {
    std::wstring text = Load(420, language);
    EXPECT_NE(text.find(L"search.kelvra.example"), std::wstring::npos)
        << language;
    EXPECT_EQ(text.find(L"@"), std::wstring::npos) << language;
  }
}

TEST_F(LocalizedStringsTest, LanguagesWithoutTablesGetNothing) {
  // No fallback at load time: Spanish (traditional sort) has no tables.
  EXPECT_TRUE(Load(410, 1034).empty());
  EXPECT_TRUE(Load(399, 1033).empty());
  EXPECT_TRUE(Load(468, 1033).empty());
  EXPECT_TRUE(Load(-1, 1033).empty());
}

TEST_F(LocalizedStringsTest, LineFeedsAreSingleCharacters) {
  for (int language : kLanguageIds) {
    std::wstring text = Load(446, language);
    EXPECT_NE(text.find(L'\n'), std::wstring::npos) << language;
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos) << language;
  }
}

}  // namespace
}  // namespace lite_installer
