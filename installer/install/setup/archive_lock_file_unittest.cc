#include "installer/install/setup/archive_lock_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace lite_installer {
namespace {

class ArchiveLockFileTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"lite_archive_lock_test.tmp";
    ::DeleteFileW(path_.c_str());
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  // Whether another opener gets the file with |access|, sharing everything.
  bool CanOpen(DWORD access) const {
    HANDLE file = ::CreateFileW(
        path_.c_str(), access,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
  }

  // The archive as the installer creates it for a locked download.
  lite_util::ScopedFileHandle NewArchive() const {
    return lite_util::ScopedFileHandle(::CreateFileW(
        path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  std::wstring path_;
};

TEST_F(ArchiveLockFileTest, WritersStayOutFromTheDownloadToTheLaunch) {
  ArchiveLockFile lock(path_, NewArchive());
  ASSERT_TRUE(lock.IsValid());
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(lock.handle(), "MZ", 2, &written, nullptr));
  // While downloading: readers may look, nobody else may write.
  EXPECT_FALSE(CanOpen(GENERIC_WRITE));
  EXPECT_TRUE(CanOpen(GENERIC_READ));

  ASSERT_TRUE(lock.ReopenForExecution());
  EXPECT_FALSE(CanOpen(GENERIC_WRITE));
  EXPECT_TRUE(CanOpen(GENERIC_READ));
  char bytes[2] = {};
  DWORD read = 0;
  ASSERT_TRUE(::ReadFile(lock.handle(), bytes, 2, &read, nullptr));
  EXPECT_EQ(std::string("MZ"), std::string(bytes, read));

  lock.Close();
  EXPECT_TRUE(CanOpen(GENERIC_WRITE));
}

TEST_F(ArchiveLockFileTest, AWriterThatHoldsTheFileMakesTheReopenFail) {
  ArchiveLockFile lock(path_, NewArchive());
  ASSERT_TRUE(lock.IsValid());
  lock.Close();
  HANDLE writer = ::CreateFileW(path_.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  EXPECT_FALSE(lock.ReopenForExecution());
  EXPECT_FALSE(lock.IsValid());
  ::CloseHandle(writer);
}

}  // namespace
}  // namespace lite_installer
