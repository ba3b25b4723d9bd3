#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/brand/brand_info.h"
#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

using lite_util::ReadFileOrMissingForTest;

using lite_util::LogRecord;

constexpr const wchar_t* kBrandValues[] = {L"brand", L"BrandFile",
                                           L"PartnerFile", L"lang"};

// Offset of the first data block of an archive without reserved space (the
// folder entry's coffCabStart after the 36-byte header).
size_t FirstDataBlockOffset(const std::string& cab) {
  uint32_t offset = 0;
  memcpy(&offset, cab.data() + 36, sizeof(offset));
  return offset;
}

std::string Resource(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, L"BIN");
  if (!resource) return std::string();
  const char* data =
      static_cast<const char*>(::LockResource(::LoadResource(module, resource)));
  return std::string(data, ::SizeofResource(module, resource));
}

bool BrowserValueExists(const wchar_t* name) {
  return lite_util::RegistryValueExist(HKEY_CURRENT_USER,
                                       lite_util::BrowserRegistryKey(), name);
}

// This test program carries a partner package (320, the MSZIP fixture) and
// the brand package BRAND_FIXTURE (the stored fixture), but no default
// package (brand_unittest_packages.rc).
class BrandPackagesTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    temp_dir_ = std::wstring(temp, length) + L"brand_packages_unittest_" +
                std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(temp_dir_.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    RemoveBrowserValues();
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    RemoveBrowserValues();
    ::DeleteFileW((temp_dir_ + L"BrandFile").c_str());
    ::DeleteFileW((temp_dir_ + L"PartnerFile").c_str());
    ::RemoveDirectoryW(temp_dir_.c_str());
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_USER_GEO_ID", nullptr);
    ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID", nullptr);
  }
  void RemoveBrowserValues() {
    for (const wchar_t* name : kBrandValues)
      lite_util::RemoveValueFromBrowserKey(name);
  }

  std::vector<std::string> Texts(const char* function) const {
    return lite_util::TextsLoggedBy(records_, function);
  }
  std::string Utf8(const std::wstring& text) {
    return lite_util::WideToUtf8(text);
  }

  std::wstring temp_dir_;
  std::vector<LogRecord> records_;
};

TEST_F(BrandPackagesTest, PartnerPackageIsAppliedBeforeTheBrandPackage) {
  BrandInfo brand(temp_dir_);
  brand.ExtractAndApplyPackage(Resource(L"CAB_MSZIP"), "partner_config");
  brand.ExtractAndApplyPackage(Resource(L"CAB_STORED"), "brand_config");
  // Both set brand_id and send_statistics: the partner's values stay.
  EXPECT_EQ(brand.brand_id(), "partner_brand");
  EXPECT_FALSE(brand.SendStatisticsByDefault());
  EXPECT_EQ(brand.partner_id(), "fixture-partner");
  EXPECT_EQ(brand.brand_name(), "fixture_name");
  EXPECT_EQ(brand.setup_url(),
            "https://cdn.fixture.example/browser/fixture/browser-setup.arc");
  // Each applied package logs the record.
  std::vector<std::string> log = Texts("LogBrandInfo");
  ASSERT_EQ(log.size(), 30u);
  EXPECT_EQ(log[1], "Brand name: ");
  EXPECT_EQ(log[16], "Brand name: fixture_name");
}

TEST_F(BrandPackagesTest, DamagedOrUnfittingPackagesApplyNothing) {
  std::string cab = Resource(L"CAB_MSZIP");
  ASSERT_FALSE(cab.empty());
  // brand_config opens the first data block (8 bytes of header first).
  const size_t data = FirstDataBlockOffset(cab) + 8;
  std::string damaged = cab;
  damaged[data + 10] = static_cast<char>(damaged[data + 10] ^ 0x10);
  BrandInfo brand(temp_dir_);
  brand.ExtractAndApplyPackage(damaged, "brand_config");
  brand.ExtractAndApplyPackage(cab.substr(0, data + 40), "brand_config");
  brand.ExtractAndApplyPackage(cab, "settings_of_another_kind");
  brand.ExtractAndApplyPackage(std::string(), "brand_config");
  EXPECT_EQ(brand.brand_id(), "");
  EXPECT_EQ(brand.brand_name(), "");
  EXPECT_EQ(brand.send_statistics(), kTriStateNotSet);
  EXPECT_TRUE(Texts("LogBrandInfo").empty());
  // The same cabinet undamaged does apply.
  brand.ExtractAndApplyPackage(cab, "brand_config");
  EXPECT_EQ(brand.brand_id(), "fixture");
}

TEST_F(BrandPackagesTest, WithoutATemporaryFolderPackagesApplyButAreNotWritten) {
  // The working directory is an empty folder of its own: a package written
  // under a bare file name would appear there.
  wchar_t cwd[MAX_PATH];
  ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, cwd));
  ASSERT_TRUE(::SetCurrentDirectoryW(temp_dir_.c_str()));
  BrandInfo brand(L"");
  brand.GetInfo("fixture");
  ::SetCurrentDirectoryW(cwd);
  EXPECT_EQ(L"", brand.brand_package_path());
  EXPECT_EQ(L"", brand.partner_package_path());
  EXPECT_FALSE(brand.brand_package_written());
  EXPECT_FALSE(brand.partner_package_written());
  EXPECT_EQ("fixture_name", brand.brand_name());
  EXPECT_EQ("<missing>", ReadFileOrMissingForTest(temp_dir_ + L"BrandFile"));
  EXPECT_EQ("<missing>", ReadFileOrMissingForTest(temp_dir_ + L"PartnerFile"));
}

TEST_F(BrandPackagesTest, NamedPackageIsWrittenAndAppliedAfterThePartner) {
  BrandInfo brand(temp_dir_);
  brand.GetInfo("fixture");
  EXPECT_EQ(brand.brand_package_path(), temp_dir_ + L"BrandFile");
  EXPECT_EQ(brand.partner_package_path(), temp_dir_ + L"PartnerFile");
  EXPECT_TRUE(brand.partner_package_written());
  EXPECT_TRUE(brand.brand_package_written());
  // Compared as a whole: a binary mismatch is not worth printing.
  EXPECT_TRUE(ReadFileOrMissingForTest(temp_dir_ + L"PartnerFile") ==
              Resource(MAKEINTRESOURCEW(320)));
  EXPECT_TRUE(ReadFileOrMissingForTest(temp_dir_ + L"BrandFile") ==
              Resource(L"BRAND_FIXTURE"));
  EXPECT_EQ(brand.brand_id(), "partner_brand");
  EXPECT_EQ(brand.brand_name(), "fixture_name");
  std::string partner_size = std::to_string(Resource(MAKEINTRESOURCEW(320)).size());
  std::string brand_size = std::to_string(Resource(L"BRAND_FIXTURE").size());
  EXPECT_EQ(Texts("GetInfoFromResources"),
            (std::vector<std::string>{
                "Extract Partner package: " + Utf8(temp_dir_) +
                    "PartnerFile [" + partner_size + "B]",
                "Fetching defined fixture package",
                "Extract Brand package: " + Utf8(temp_dir_) + "BrandFile [" +
                    brand_size + "B]"}));
  EXPECT_EQ(Texts("GetInfo"),
            (std::vector<std::string>{
                "Brand package path: " + Utf8(temp_dir_) + "BrandFile",
                "Partner package path: " + Utf8(temp_dir_) + "PartnerFile"}));
  EXPECT_EQ(Texts("Clear"), (std::vector<std::string>{"Reset brand info.",
                                                      "Reset brand info."}));
}

TEST_F(BrandPackagesTest, NamesAreLookedUpInUpperCaseAndAutoOnlyInLowerCase) {
  BrandInfo brand(temp_dir_);
  brand.GetInfo("FiXtUrE");
  EXPECT_EQ(brand.brand_name(), "fixture_name");
  EXPECT_EQ(Texts("GetInfoFromResources")[1],
            "Fetching defined FiXtUrE package");
  // "AUTO" is a brand name like any other: BRAND_AUTO, which is missing.
  records_.clear();
  BrandInfo upper(temp_dir_);
  upper.GetInfo("AUTO");
  EXPECT_TRUE(Texts("AutodetectBrandName").empty());
  std::vector<std::string> texts = Texts("GetInfoFromResources");
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1], "Fetching defined AUTO package");
  EXPECT_EQ(texts[2], "Fetching default package");
  EXPECT_EQ(texts[3], "Brand package is empty.");
}

TEST_F(BrandPackagesTest, MissingNamedAndDefaultPackagesLeaveTheDefaults) {
  ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_USER_GEO_ID", "235");
  ::SetEnvironmentVariableA("LITE_INSTALLER_SEAM_UI_LANGUAGE_ID", "1033");
  BrandInfo brand(temp_dir_);
  brand.GetInfo("auto");
  // Turkey gives "tb"; this program has no BRAND_TB and no default package.
  std::vector<std::string> texts = Texts("GetInfoFromResources");
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1], "Fetching autodetected TB package");
  EXPECT_EQ(texts[2], "Fetching default package");
  EXPECT_EQ(texts[3], "Brand package is empty.");
  EXPECT_EQ(records_.back().severity, lite_util::LOG_WARNING);
  EXPECT_EQ(Texts("AutodetectBrandName").back(), "Detected brand-name: tb");
  EXPECT_FALSE(brand.brand_package_written());
  EXPECT_EQ(ReadFileOrMissingForTest(temp_dir_ + L"BrandFile"), "<missing>");
  // Only the partner package was applied.
  EXPECT_EQ(brand.brand_id(), "partner_brand");
  EXPECT_EQ(brand.brand_name(), "");
}

TEST_F(BrandPackagesTest, RegistryValuesArePublishedAndRemoved) {
  // Left over from an earlier run: GetInfo removes them.
  for (const wchar_t* name : {L"brand", L"BrandFile", L"PartnerFile"})
    ASSERT_TRUE(lite_util::StoreValueInBrowserKey(name, L"stale"));
  BrandInfo brand(temp_dir_);
  brand.GetInfo("fixture");
  for (const wchar_t* name : {L"brand", L"BrandFile", L"PartnerFile"})
    EXPECT_FALSE(BrowserValueExists(name)) << Utf8(name);

  brand.set_default_language("uk");
  brand.StoreLanguageInRegistry();
  brand.StoreBrandInRegistry();
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(L"lang"), L"uk");
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(L"brand"), L"fixture_name");
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(L"BrandFile"),
            temp_dir_ + L"BrandFile");
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(L"PartnerFile"),
            temp_dir_ + L"PartnerFile");

  brand.RemoveBrandFromRegistry();
  for (const wchar_t* name : {L"brand", L"BrandFile", L"PartnerFile"})
    EXPECT_FALSE(BrowserValueExists(name)) << Utf8(name);
  EXPECT_TRUE(BrowserValueExists(L"lang"));
}

TEST_F(BrandPackagesTest, PartnerFileIsPublishedOnlyWhenWritten) {
  BrandInfo brand(temp_dir_);
  brand.ApplyBrandInfo("{\"brand_name\": \"plain\"}");
  brand.StoreBrandInRegistry();
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(L"brand"), L"plain");
  EXPECT_TRUE(BrowserValueExists(L"BrandFile"));
  EXPECT_FALSE(BrowserValueExists(L"PartnerFile"));
  std::vector<std::string> stored = Texts("StoreValueInRegistry");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0],
            "Stored HKEY_CURRENT_USER\\Software\\Kelvra\\KelvraBrowser\\brand"
            " = plain");
}

TEST_F(BrandPackagesTest, UnwritablePackageFilesStillApplyTheSettings) {
  const std::wstring missing_dir = temp_dir_ + L"missing\\";
  BrandInfo brand(missing_dir);
  brand.GetInfo("fixture");
  EXPECT_EQ(brand.brand_id(), "partner_brand");
  EXPECT_EQ(brand.brand_name(), "fixture_name");
  // The paths are still handed on; the setup finds no file there.
  EXPECT_TRUE(brand.partner_package_written());
  EXPECT_TRUE(brand.brand_package_written());
  EXPECT_EQ(ReadFileOrMissingForTest(missing_dir + L"BrandFile"), "<missing>");
  std::vector<LogRecord> warnings;
  for (const LogRecord& record : records_) {
    if (std::string(record.function_name) == "WriteBinFile")
      warnings.push_back(record);
  }
  ASSERT_EQ(warnings.size(), 2u);
  const char* kFiles[] = {"PartnerFile", "BrandFile"};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(warnings[i].severity, lite_util::LOG_WARNING);
    std::string expected =
        "Can't create file " + Utf8(missing_dir) + kFiles[i];
    EXPECT_EQ(warnings[i].text.compare(0, expected.size(), expected), 0)
        << warnings[i].text;
  }
}

}  // namespace
}  // namespace lite_installer
