#include "installer/install/download/versioned_setup_url.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

constexpr int64_t kDayUs = 86400LL * 1000000;

int64_t Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>(
             (static_cast<uint64_t>(now.dwHighDateTime) << 32) |
             now.dwLowDateTime) /
         10;
}

std::wstring TempFilePath() {
  wchar_t dir[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  ::GetTempPathW(MAX_PATH + 1, dir);
  ::GetTempFileNameW(dir, L"vsu", 0, path);
  return path;
}

void SetLastWrite(const std::wstring& path, int64_t time_us) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.IsValid());
  const uint64_t value = static_cast<uint64_t>(time_us) * 10;
  FILETIME time = {static_cast<DWORD>(value),
                   static_cast<DWORD>(value >> 32)};
  ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &time));
}

class VersionedSetupUrlTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }
  std::vector<lite_util::LogRecord> log_;
};

TEST_F(VersionedSetupUrlTest, ThirtyDaysAfterCreationTheUrlIsNoLongerUsed) {
  const std::string url = "https://d/browser-23.5.4.arc";
  const int64_t created = 13300000000000000LL;
  EXPECT_TRUE(IsVersionedSetupUrlAllowedAt(url, created, created));
  EXPECT_TRUE(IsVersionedSetupUrlAllowedAt(url, created,
                                           created + 30 * kDayUs - 1));
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt(url, created,
                                            created + 30 * kDayUs));
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt(url, created,
                                            created + 400 * kDayUs));
  // Unknown creation time, empty URL.
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt(url, 0, created));
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt("", created, created));
  EXPECT_TRUE(log_.empty());
}

TEST_F(VersionedSetupUrlTest, AnUnfilledTemplateIsRefusedAndLogged) {
  const std::string url = "https://d/browser-{version}.arc";
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt(url, 1, 1));
  EXPECT_FALSE(IsVersionedSetupUrlAllowed(url));
  ASSERT_EQ(2u, log_.size());
  EXPECT_EQ("Wrong setup url:" + url, log_[0].text);
  EXPECT_EQ(lite_util::LOG_ERROR, log_[0].severity);
  EXPECT_STREQ("IsVersionedSetupUrlAllowed", log_[0].function_name);
}

TEST_F(VersionedSetupUrlTest, WithoutVersionResourceTheLastWriteTimeCounts) {
  const std::wstring path = TempFilePath();
  const int64_t forty_days_ago = (Now() - 40 * kDayUs) / 10 * 10;
  SetLastWrite(path, forty_days_ago);
  int64_t time = 0;
  EXPECT_TRUE(GetModuleCreationTime(path, &time));
  EXPECT_EQ(forty_days_ago, time);
  EXPECT_FALSE(IsVersionedSetupUrlAllowedAt("https://d/v.arc", time, Now()));
  SetLastWrite(path, Now() - kDayUs);
  EXPECT_TRUE(GetModuleCreationTime(path, &time));
  EXPECT_TRUE(IsVersionedSetupUrlAllowedAt("https://d/v.arc", time, Now()));
  ::DeleteFileW(path.c_str());
  EXPECT_EQ((std::vector<std::string>{
                "File version resource is absent in " +
                    std::string(path.begin(), path.end()),
                "Used the last write file time",
                "File version resource is absent in " +
                    std::string(path.begin(), path.end()),
                "Used the last write file time"}),
            lite_util::TextsLoggedBy(log_, "GetModuleCreationTime"));
  // A file that is gone has no time.
  EXPECT_FALSE(GetModuleCreationTime(path, &time));
}

TEST_F(VersionedSetupUrlTest, AVersionResourceWithoutDateFallsBackToo) {
  // The installer built beside the tests: a version resource, date 0.
  wchar_t self[MAX_PATH];
  ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  std::wstring installer = self;
  installer = installer.substr(0, installer.find_last_of(L'\\') + 1) +
              L"lite_installer.exe";
  // A copy, so that the build's own file keeps its time.
  const std::wstring copy = TempFilePath();
  ASSERT_TRUE(::CopyFileW(installer.c_str(), copy.c_str(), FALSE));
  installer = copy;
  const int64_t a_day_ago = (Now() - kDayUs) / 10 * 10;
  SetLastWrite(installer, a_day_ago);
  int64_t time = 0;
  ASSERT_TRUE(GetModuleCreationTime(installer, &time));
  ::DeleteFileW(copy.c_str());
  EXPECT_EQ(a_day_ago, time);
  EXPECT_EQ((std::vector<std::string>{
                "Version time is 0 in " +
                    std::string(installer.begin(), installer.end()),
                "Used the last write file time"}),
            lite_util::TextsLoggedBy(log_, "GetModuleCreationTime"));
}

// Restores a file's last write time when the test ends.
class LastWriteRestorer {
 public:
  explicit LastWriteRestorer(const std::wstring& path) : path_(path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    saved_ = ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    time_ = data.ftLastWriteTime;
  }
  ~LastWriteRestorer() {
    if (!saved_) return;
    lite_util::ScopedFileHandle file(::CreateFileW(
        path_.c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ::SetFileTime(file.Get(), nullptr, nullptr, &time_);
  }
  bool saved() const { return saved_; }

 private:
  std::wstring path_;
  bool saved_ = false;
  FILETIME time_ = {};
};

TEST_F(VersionedSetupUrlTest, TheRunningProgramsOwnFileTimeDecides) {
  // The test program has no version resource: its last write time counts.
  // The test sets it, so that the age of the build folder does not matter.
  wchar_t self[MAX_PATH];
  ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  LastWriteRestorer restorer(self);
  ASSERT_TRUE(restorer.saved());
  SetLastWrite(self, Now() - kDayUs);
  EXPECT_TRUE(IsVersionedSetupUrlAllowed("https://d/v.arc"));
  SetLastWrite(self, Now() - 31 * kDayUs);
  EXPECT_FALSE(IsVersionedSetupUrlAllowed("https://d/v.arc"));
}

}  // namespace
}  // namespace lite_installer
