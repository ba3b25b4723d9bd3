#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/registry.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\KelvraLiteUnitTest";

bool KeyExists(const std::wstring& path) {
  ScopedRegKey key;
  return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ,
                         key.Receive()) == ERROR_SUCCESS;
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    key_ = std::wstring(kTestRoot) + L"\\Registry";
    SetLogSink(new RecordingSink(&records_));
  }
  void TearDown() override {
    SetLogSink(nullptr);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
  }

  // "HKEY_CURRENT_USER\<key>\<name>" in UTF-8, as the log lines name values.
  std::string Named(const std::wstring& key, const std::wstring& name) {
    return "HKEY_CURRENT_USER\\" + WideToUtf8(key) + "\\" + WideToUtf8(name);
  }

  void ExpectOneRecord(LogSeverity severity, const std::string& function,
                       const std::string& text) {
    ASSERT_EQ(1u, records_.size());
    EXPECT_EQ(severity, records_[0].severity);
    EXPECT_EQ(function, records_[0].function_name);
    EXPECT_EQ(text, records_[0].text);
  }

  void SetRawValue(const std::wstring& name, DWORD type, const void* data,
                   DWORD size) {
    ScopedRegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, key.Receive(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.Get(), name.c_str(), 0, type,
                               static_cast<const BYTE*>(data), size));
  }

  std::wstring key_;
  std::vector<LogRecord> records_;
};

TEST_F(RegistryTest, StoreCreatesTheKeyAndWritesAStringWithItsNul) {
  ASSERT_FALSE(KeyExists(key_));
  EXPECT_TRUE(StoreValueInRegistry(key_, L"brand", L"kelvra \x00e9t\x00e9"));
  ExpectOneRecord(LOG_INFO, "StoreValueInRegistry",
                  "Stored " + Named(key_, L"brand") + " = kelvra \xc3\xa9t\xc3\xa9");

  ScopedRegKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0,
                                           KEY_READ, key.Receive()));
  wchar_t data[32] = {};
  DWORD size = sizeof(data);
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegQueryValueExW(key.Get(), L"brand", nullptr, &type,
                               reinterpret_cast<BYTE*>(data), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(11 * sizeof(wchar_t), size);  // 10 characters and the NUL
  EXPECT_EQ(std::wstring(L"kelvra \x00e9t\x00e9"), data);
}

TEST_F(RegistryTest, ReadReturnsTheStoredValueAndLogsIt) {
  ASSERT_TRUE(StoreValueInRegistry(key_, L"lang", L"de"));
  records_.clear();
  std::wstring value;
  EXPECT_TRUE(ReadValueFromRegistry(key_, L"lang", &value));
  EXPECT_EQ(L"de", value);
  ExpectOneRecord(LOG_INFO, "ReadValueFromRegistry",
                  "Read " + Named(key_, L"lang") + " which is \"de\"");
}

TEST_F(RegistryTest, ReadOfEmptyAndUnterminatedStrings) {
  ASSERT_TRUE(StoreValueInRegistry(key_, L"empty", L""));
  std::wstring value = L"previous";
  EXPECT_TRUE(ReadValueFromRegistry(key_, L"empty", &value));
  EXPECT_EQ(L"", value);
  // Data written by other programs need not end with a NUL.
  const wchar_t raw[] = {L'a', L'b', L'c'};
  SetRawValue(L"raw", REG_SZ, raw, sizeof(raw));
  EXPECT_TRUE(ReadValueFromRegistry(key_, L"raw", &value));
  EXPECT_EQ(L"abc", value);
}

TEST_F(RegistryTest, ReadOfMissingValueSaysSoWithoutFailureLine) {
  ASSERT_TRUE(StoreValueInRegistry(key_, L"other", L"x"));
  records_.clear();
  std::wstring value = L"unchanged";
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"lang", &value));
  EXPECT_EQ(L"unchanged", value);
  ExpectOneRecord(LOG_INFO, "ReadValueFromRegistry",
                  "No value to read: " + Named(key_, L"lang"));
}

TEST_F(RegistryTest, ReadOfMissingKeyFailsWithoutCreatingIt) {
  std::wstring value;
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"lang", &value));
  ExpectOneRecord(LOG_INFO, "ReadValueFromRegistry",
                  "Failed to read " + Named(key_, L"lang"));
  EXPECT_FALSE(KeyExists(key_));
}

TEST_F(RegistryTest, ReadOfNonStringValueFails) {
  DWORD number = 7;
  SetRawValue(L"number", REG_DWORD, &number, sizeof(number));
  std::wstring value;
  EXPECT_FALSE(ReadValueFromRegistry(key_, L"number", &value));
  ExpectOneRecord(LOG_INFO, "ReadValueFromRegistry",
                  "Failed to read " + Named(key_, L"number"));
}

TEST_F(RegistryTest, RemoveDeletesTheValue) {
  ASSERT_TRUE(StoreValueInRegistry(key_, L"install_stat", L"1"));
  records_.clear();
  EXPECT_TRUE(RemoveValueFromRegistry(key_, L"install_stat"));
  ExpectOneRecord(LOG_INFO, "RemoveValueFromRegistry",
                  "Removed " + Named(key_, L"install_stat"));
  EXPECT_FALSE(RegistryValueExist(HKEY_CURRENT_USER, key_, L"install_stat"));
}

TEST_F(RegistryTest, RemoveCreatesTheMissingKeyPathAndReportsNoValue) {
  std::wstring deep = key_ + L"\\Deeper\\Still";
  ASSERT_FALSE(KeyExists(key_));
  EXPECT_FALSE(RemoveValueFromRegistry(deep, L"install_stat"));
  ExpectOneRecord(LOG_INFO, "RemoveValueFromRegistry",
                  "No value to remove: " + Named(deep, L"install_stat"));
  EXPECT_TRUE(KeyExists(deep));
}

// A key made volatile cannot hold a lasting child key, so opening a child
// for writing fails: the failure lines of store and remove.
TEST_F(RegistryTest, StoreAndRemoveReportAKeyThatCannotBeCreated) {
  ScopedRegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                              key.Receive(), nullptr));
  std::wstring child = key_ + L"\\Child";
  EXPECT_FALSE(StoreValueInRegistry(child, L"brand", L"b"));
  ExpectOneRecord(LOG_INFO, "StoreValueInRegistry",
                  "Failed to store " + Named(child, L"brand") + " = b");
  records_.clear();
  EXPECT_FALSE(RemoveValueFromRegistry(child, L"brand"));
  ExpectOneRecord(LOG_INFO, "RemoveValueFromRegistry",
                  "Failed to remove " + Named(child, L"brand"));
}

TEST_F(RegistryTest, ValueExistCasesAndItsErrorLine) {
  ASSERT_TRUE(StoreValueInRegistry(key_, L"present", L"1"));
  records_.clear();
  EXPECT_TRUE(RegistryValueExist(HKEY_CURRENT_USER, key_, L"present"));
  EXPECT_FALSE(RegistryValueExist(HKEY_CURRENT_USER, key_, L"absent"));
  // A missing key is an ordinary "no".
  EXPECT_FALSE(RegistryValueExist(HKEY_CURRENT_USER, key_ + L"\\Missing",
                                  L"present"));
  EXPECT_TRUE(records_.empty());

  // Any other reason the key cannot be opened is logged with its error.
  HKEY bogus_root = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7654));
  EXPECT_FALSE(RegistryValueExist(bogus_root, key_, L"present"));
  ASSERT_EQ(1u, records_.size());
  EXPECT_EQ(LOG_ERROR, records_[0].severity);
  EXPECT_STREQ("RegistryValueExist", records_[0].function_name);
  std::string prefix = "Can't open registry key: " + WideToUtf8(key_) + " - " +
                       std::to_string(ERROR_INVALID_HANDLE) + ", ";
  EXPECT_EQ(prefix, records_[0].text.substr(0, prefix.size()));
}

TEST_F(RegistryTest, BrowserKeyOperations) {
  EXPECT_STREQ(L"Software\\Kelvra\\KelvraBrowser", BrowserRegistryKey());
  const std::wstring name = L"LiteUnitTestValue";
  RemoveValueFromBrowserKey(name);
  records_.clear();

  EXPECT_EQ(L"", ReadValueFromBrowserKey(name));
  EXPECT_TRUE(StoreValueInBrowserKey(name, L"v1"));
  EXPECT_EQ(L"v1", ReadValueFromBrowserKey(name));
  EXPECT_TRUE(RemoveValueFromBrowserKey(name));
  EXPECT_FALSE(RemoveValueFromBrowserKey(name));

  std::string named = Named(BrowserRegistryKey(), name);
  std::vector<std::string> texts;
  for (const LogRecord& record : records_) texts.push_back(record.text);
  EXPECT_EQ((std::vector<std::string>{
                "No value to read: " + named,
                "Stored " + named + " = v1",
                "Read " + named + " which is \"v1\"",
                "Removed " + named,
                "No value to remove: " + named,
            }),
            texts);
}

class ReadFilePathTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
    folder_ = std::wstring(temp) + L"lite_registry_test_" +
              std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    file_ = folder_ + L"\\brand.cab";
    ScopedFileHandle file(::CreateFileW(file_.c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
  }
  void TearDown() override {
    RemoveValueFromBrowserKey(kName);
    ::DeleteFileW(file_.c_str());
    ::RemoveDirectoryW(folder_.c_str());
    RegistryTest::TearDown();
  }

  std::string ExpectedLine(const std::wstring& path) {
    return "Read " + Named(BrowserRegistryKey(), kName) + " which is \"" +
           WideToUtf8(path) + "\"";
  }

  static constexpr wchar_t kName[] = L"LiteUnitTestFile";
  std::wstring folder_;
  std::wstring file_;
};

constexpr wchar_t ReadFilePathTest::kName[];

TEST_F(ReadFilePathTest, ExistingFileOrFolderIsReturned) {
  ASSERT_TRUE(StoreValueInBrowserKey(kName, file_));
  records_.clear();
  EXPECT_EQ(file_, ReadFilePathFromRegistry(kName));
  ExpectOneRecord(LOG_INFO, "ReadFilePathFromRegistry", ExpectedLine(file_));

  ASSERT_TRUE(StoreValueInBrowserKey(kName, folder_));
  EXPECT_EQ(folder_, ReadFilePathFromRegistry(kName));
}

TEST_F(ReadFilePathTest, DeletedFileGivesEmptyPathInTheLogLine) {
  ASSERT_TRUE(StoreValueInBrowserKey(kName, file_));
  ASSERT_TRUE(::DeleteFileW(file_.c_str()));
  records_.clear();
  EXPECT_EQ(L"", ReadFilePathFromRegistry(kName));
  ExpectOneRecord(LOG_INFO, "ReadFilePathFromRegistry", ExpectedLine(L""));
}

TEST_F(ReadFilePathTest, MissingValueGivesEmptyPath) {
  RemoveValueFromBrowserKey(kName);
  records_.clear();
  EXPECT_EQ(L"", ReadFilePathFromRegistry(kName));
  ExpectOneRecord(LOG_INFO, "ReadFilePathFromRegistry", ExpectedLine(L""));
}

}  // namespace
}  // namespace lite_util
