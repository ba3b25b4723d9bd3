#include "installer/lite_util/file_version.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_util {
namespace {

// The installer is built into the same bin/ folder as the tests.
std::wstring InstallerBesideTests() {
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L'\\') + 1) + L"lite_installer.exe";
}

class FileVersionTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
    text_file_ = std::wstring(temp) + L"lite_file_version_test_" +
                 std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ScopedFileHandle file(::CreateFileW(text_file_.c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), "not a program\r\n", 15, &written,
                            nullptr));
    SetLogSink(new RecordingSink(&records_));
  }
  void TearDown() override {
    SetLogSink(nullptr);
    ::DeleteFileW(text_file_.c_str());
  }

  std::wstring text_file_;
  std::vector<LogRecord> records_;
};

TEST_F(FileVersionTest, InstallerVersionAndItsLogLine) {
  std::wstring installer = InstallerBesideTests();
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(installer.c_str()))
      << "lite_installer.exe is missing beside the tests";
  EXPECT_EQ("23.5.4.674", GetFileVersion(installer));
  ASSERT_EQ(1u, records_.size());
  EXPECT_EQ(LOG_INFO, records_[0].severity);
  EXPECT_STREQ("GetFileVersion", records_[0].function_name);
  // 23 << 16 | 5 and 4 << 16 | 674: each product-version word as one number.
  EXPECT_EQ("File: " + WideToUtf8(installer) + " Version: 1507333.262818",
            records_[0].text);
}

TEST_F(FileVersionTest, FilesWithoutVersionResource) {
  EXPECT_EQ("0.0.0.0", GetFileVersion(text_file_));
  EXPECT_EQ("0.0.0.0", GetFileVersion(text_file_ + L".missing"));
  EXPECT_TRUE(records_.empty());
}

TEST_F(FileVersionTest, VersionResourceFileDate) {
  DWORD date_ms = 1;
  DWORD date_ls = 1;
  // The installer's resource states no date: both words are zero.
  EXPECT_TRUE(ReadVersionResourceFileDate(InstallerBesideTests(), &date_ms,
                                          &date_ls));
  EXPECT_EQ(0u, date_ms);
  EXPECT_EQ(0u, date_ls);
  EXPECT_FALSE(ReadVersionResourceFileDate(text_file_, &date_ms, &date_ls));
}

TEST_F(FileVersionTest, FileTimesAreTheOnesSet) {
  FILETIME creation = {0x11111100, 0x01D00000};
  FILETIME access = {0x22222200, 0x01D90000};
  FILETIME write = {0x33333300, 0x01DA0000};
  {
    ScopedFileHandle file(::CreateFileW(text_file_.c_str(),
                                        FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(::SetFileTime(file.Get(), &creation, &access, &write));
  }
  FileTimes times;
  ASSERT_TRUE(ReadFileTimes(text_file_, &times));
  // Wine cannot set a creation time on a Linux file system: compare the
  // creation time with the directory listing's instead.
  WIN32_FIND_DATAW found;
  ScopedFindHandle find(::FindFirstFileW(text_file_.c_str(), &found));
  ASSERT_TRUE(find.IsValid());
  EXPECT_EQ(0, ::CompareFileTime(&found.ftCreationTime, &times.creation));
  EXPECT_EQ(0, ::CompareFileTime(&access, &times.last_access));
  EXPECT_EQ(0, ::CompareFileTime(&write, &times.last_write));
  EXPECT_FALSE(ReadFileTimes(text_file_ + L".missing", &times));
}

}  // namespace
}  // namespace lite_util
