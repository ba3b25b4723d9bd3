#include "installer/install/setup/installer_data_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/lite_util/bin_resource.h"
#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

using lite_util::ReadFileOrMissingForTest;

using lite_util::LogRecord;

// The shipped initial preferences as the test program carries them.
std::string PreferencesResource() {
  return lite_util::LoadBinResource(MAKEINTRESOURCEW(305));
}

class InstallerDataFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"lite_data_files_test\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* name : {L"master_preferences", L"clids.xml",
                                L"website.ico", L"abt_config_resource"}) {
      ::DeleteFileW((dir_ + name).c_str());
    }
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    ::DeleteFileW((dir_ + L"master_preferences").c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }
  std::vector<std::string> Warnings() const {
    return lite_util::TextsLoggedBy(records_, "ExtractInstallerDataIfAbsent");
  }

  std::wstring dir_;
  std::vector<LogRecord> records_;
};

TEST_F(InstallerDataFilesTest, EmptyPathsGetCopiesOfTheResourcesInTemp) {
  InstallerDataPaths paths;
  ExtractInstallerDataIfAbsent(dir_, &paths);
  EXPECT_EQ(dir_ + L"master_preferences", paths.installer_data_path);
  std::string preferences = ReadFileOrMissingForTest(paths.installer_data_path);
  EXPECT_EQ(PreferencesResource(), preferences);
  EXPECT_NE(std::string::npos, preferences.find("variations_compressed_seed"));
  // Missing numbered resources keep their paths, without a file.
  EXPECT_EQ(dir_ + L"clids.xml", paths.clids_file_path);
  EXPECT_EQ(dir_ + L"website.ico", paths.website_icon_path);
  EXPECT_EQ("<missing>", ReadFileOrMissingForTest(paths.clids_file_path));
  EXPECT_EQ("<missing>", ReadFileOrMissingForTest(paths.website_icon_path));
  // A missing experiment configuration leaves no path at all.
  EXPECT_EQ(L"", paths.abt_config_path);
  EXPECT_EQ("<missing>",
            ReadFileOrMissingForTest(dir_ + L"abt_config_resource"));
  EXPECT_EQ((std::vector<std::string>{
                "Failed to extract resource 306",
                "Failed to extract resource 323",
                "Failed to extract resource abt_config_resource"}),
            Warnings());
  for (const LogRecord& record : records_)
    EXPECT_EQ(lite_util::LOG_WARNING, record.severity);
}

TEST_F(InstallerDataFilesTest, PresetPathsAreKeptWhetherOrNotTheFilesExist) {
  CommandLine command_line = CommandLine::FromString(
      L"lite.exe --installerdata=C:\\none\\prefs --clids-file=x.xml "
      L"--kelvra-website-icon-file=\"C:\\a b\\i.ico\" "
      L"--abt-config-resource-file=C:\\none\\abt");
  InstallerDataPaths paths = InstallerDataPathsFromCommandLine(command_line);
  InstallerDataPaths before = paths;
  ExtractInstallerDataIfAbsent(dir_, &paths);
  EXPECT_EQ(before.installer_data_path, paths.installer_data_path);
  EXPECT_EQ(L"C:\\none\\prefs", paths.installer_data_path);
  EXPECT_EQ(L"x.xml", paths.clids_file_path);
  EXPECT_EQ(L"C:\\a b\\i.ico", paths.website_icon_path);
  EXPECT_EQ(L"C:\\none\\abt", paths.abt_config_path);
  EXPECT_TRUE(Warnings().empty());
  EXPECT_EQ("<missing>",
            ReadFileOrMissingForTest(dir_ + L"master_preferences"));
}

TEST_F(InstallerDataFilesTest, ASecondRunOverwritesTheCopies) {
  std::ofstream(lite_util::WideToUtf8(dir_ + L"master_preferences"),
                std::ios::binary)
      << "an older, longer file of an earlier run ............................"
         "........................................................."
         "........................................................."
         "........................................................."
         "......................................................";
  InstallerDataPaths paths;
  ExtractInstallerDataIfAbsent(dir_, &paths);
  EXPECT_EQ(PreferencesResource(),
            ReadFileOrMissingForTest(dir_ + L"master_preferences"));
}

TEST_F(InstallerDataFilesTest, ExtractionResultIsTheResourceNotTheWrite) {
  std::wstring unwritable = dir_ + L"no\\such\\folder\\file";
  EXPECT_TRUE(ExtractResourceToFile(305, unwritable));
  EXPECT_FALSE(ExtractResourceToFile(306, dir_ + L"clids.xml"));
  EXPECT_FALSE(ExtractNamedResourceToFile(L"ABT_CONFIG", dir_ + L"abt"));
  EXPECT_TRUE(ExtractNamedResourceToFile(L"FILE_BRAND_CONFIG", unwritable));
  EXPECT_EQ("<missing>", ReadFileOrMissingForTest(dir_ + L"abt"));
}

TEST_F(InstallerDataFilesTest, AnOlderFileThatCannotBeReplacedIsNotPassedOn) {
  const std::wstring path = dir_ + L"master_preferences";
  const std::string stale = "an older file of another partner";
  std::ofstream(lite_util::WideToUtf8(path), std::ios::binary) << stale;
  {
    // Held open with read-only sharing: neither written nor deleted.
    lite_util::ScopedFileHandle holder(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.IsValid());
    InstallerDataPaths paths;
    ExtractInstallerDataIfAbsent(dir_, &paths);
    EXPECT_EQ(L"", paths.installer_data_path);
    EXPECT_EQ(1u, lite_util::TextsLoggedBy(records_, "DropStalePath").size());
  }
  EXPECT_EQ(stale, ReadFileOrMissingForTest(path));

  // Read-only: whatever the system lets happen to it, a path handed on
  // never names the older file.
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  InstallerDataPaths paths;
  ExtractInstallerDataIfAbsent(dir_, &paths);
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (paths.installer_data_path.empty())
    EXPECT_EQ(stale, ReadFileOrMissingForTest(path));
  else
    EXPECT_NE(stale, ReadFileOrMissingForTest(path));

  ::DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace lite_installer
