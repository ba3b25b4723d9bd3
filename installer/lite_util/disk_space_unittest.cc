#include "installer/lite_util/disk_space.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"

namespace lite_util {
namespace {

// The unit tests link the seam reader that reads the environment.
constexpr char kFreeBytesSeam[] = "LITE_INSTALLER_SEAM_FREE_DISK_BYTES";
constexpr char kNotEnough[] = "There is not enough disk space to install browser";

class DiskSpaceTest : public testing::Test {
 protected:
  void SetUp() override { SetLogSink(new RecordingSink(&records_)); }
  void TearDown() override {
    SetLogSink(nullptr);
    ::SetEnvironmentVariableA(kFreeBytesSeam, nullptr);
  }
  void SetFreeBytes(const std::string& text) {
    ASSERT_TRUE(::SetEnvironmentVariableA(kFreeBytesSeam, text.c_str()));
  }

  std::vector<LogRecord> records_;
};

TEST_F(DiskSpaceTest, ExactlyTheRequiredSpaceIsEnough) {
  SetFreeBytes("629145600");
  for (bool system_level : {false, true}) {
    EXPECT_TRUE(HasEnoughDiskSpace(system_level, kRequiredInstallSpace));
    EXPECT_TRUE(HasEnoughDiskSpace(system_level, kRequiredInstallSpace - 1));
  }
  EXPECT_TRUE(records_.empty());
}

TEST_F(DiskSpaceTest, OneByteLessIsNotEnoughAndIsLogged) {
  SetFreeBytes("629145599");
  for (bool system_level : {false, true}) {
    records_.clear();
    EXPECT_FALSE(HasEnoughDiskSpace(system_level, kRequiredInstallSpace));
    ASSERT_EQ(1u, records_.size());
    EXPECT_STREQ("HasEnoughDiskSpace", records_[0].function_name);
    EXPECT_EQ(kNotEnough, records_[0].text);
  }
}

// Byte counts above 4 GiB must not be cut to 32 bits anywhere.
TEST_F(DiskSpaceTest, LargeCountsKeepAll64Bits) {
  SetFreeBytes("18446744073709551615");
  EXPECT_TRUE(HasEnoughDiskSpace(false, UINT64_MAX));
  SetFreeBytes("4294967296");  // 4 GiB: 0 in the low 32 bits
  EXPECT_TRUE(HasEnoughDiskSpace(false, kRequiredInstallSpace));
  EXPECT_FALSE(HasEnoughDiskSpace(false, 4294967297ull));
}

// Without a usable seam value the real free space of the drive is asked
// (the test prefix's drive has more than 1 MiB free). A lenient reading of
// the malformed values would give a few bytes and fail the check.
TEST_F(DiskSpaceTest, RealQueryWithoutUsableSeam) {
  constexpr uint64_t kOneMiB = 1048576;
  EXPECT_TRUE(HasEnoughDiskSpace(false, kOneMiB));
  EXPECT_TRUE(HasEnoughDiskSpace(true, kOneMiB));
  EXPECT_FALSE(HasEnoughDiskSpace(false, UINT64_MAX));
  for (const char* malformed :
       {"12x", " 5", "0x10", "", "18446744073709551616"}) {
    SetFreeBytes(malformed);
    EXPECT_TRUE(HasEnoughDiskSpace(false, kOneMiB)) << malformed;
  }
}

}  // namespace
}  // namespace lite_util
