#include "installer/install/download/download_sink.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

class FileDownloadSinkTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH + 1];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH + 1, dir));
    wchar_t path[MAX_PATH + 1];
    ASSERT_NE(0u, ::GetTempFileNameW(dir, L"dst", 0, path));
    path_ = path;
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  lite_util::ScopedFileHandle Open(DWORD access) {
    return lite_util::ScopedFileHandle(
        ::CreateFileW(path_.c_str(), access, FILE_SHARE_READ, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  std::string Contents() {
    lite_util::ScopedFileHandle file(::CreateFileW(
        path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(4096, '\0');
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(file.Get(), &bytes[0], 4096, &read, nullptr));
    bytes.resize(read);
    return bytes;
  }

  std::wstring path_;
};

TEST_F(FileDownloadSinkTest, AppendsAndCountsEveryBlock) {
  lite_util::ScopedFileHandle file = Open(GENERIC_WRITE);
  ASSERT_TRUE(file.IsValid());
  FileDownloadSink sink(file.Get());
  EXPECT_EQ(0u, sink.bytes_written());
  ASSERT_TRUE(sink.Write("abc", 3));
  ASSERT_TRUE(sink.Write("defgh", 5));
  ASSERT_TRUE(sink.Write("", 0));
  EXPECT_EQ(8u, sink.bytes_written());
  EXPECT_EQ("abcdefgh", Contents());
}

TEST_F(FileDownloadSinkTest, ResetEmptiesTheFileAndWritesFromItsStart) {
  lite_util::ScopedFileHandle file = Open(GENERIC_WRITE);
  FileDownloadSink sink(file.Get());
  ASSERT_TRUE(sink.Write("0123456789", 10));
  ASSERT_TRUE(sink.Reset());
  EXPECT_EQ(0u, sink.bytes_written());
  EXPECT_EQ("", Contents());
  ASSERT_TRUE(sink.Write("xy", 2));
  EXPECT_EQ(2u, sink.bytes_written());
  EXPECT_EQ("xy", Contents()) << "no stale bytes after the new data";
}

TEST_F(FileDownloadSinkTest, AFailedWriteIsNotCounted) {
  // A handle without write access: every write fails.
  lite_util::ScopedFileHandle file = Open(GENERIC_READ);
  ASSERT_TRUE(file.IsValid());
  FileDownloadSink sink(file.Get());
  ::SetLastError(0);
  EXPECT_FALSE(sink.Write("abc", 3));
  EXPECT_NE(0u, ::GetLastError()) << "the caller logs the Windows error";
  EXPECT_EQ(0u, sink.bytes_written());
  EXPECT_FALSE(sink.Reset());
}

TEST(StringDownloadSinkTest, CollectsResetsAndHandsOver) {
  StringDownloadSink sink;
  ASSERT_TRUE(sink.Write("ab\0c", 4));
  EXPECT_EQ(4u, sink.bytes_written());
  EXPECT_EQ(std::string("ab\0c", 4), sink.bytes());
  ASSERT_TRUE(sink.Reset());
  EXPECT_EQ(0u, sink.bytes_written());
  EXPECT_EQ("", sink.bytes());
  ASSERT_TRUE(sink.Write("xyz", 3));
  EXPECT_EQ("xyz", sink.TakeBytes());
  EXPECT_EQ(0u, sink.bytes_written());
  EXPECT_EQ("", sink.bytes());
}

TEST(StringDownloadSinkTest, ABodyBeyondTheCapIsRefusedCleanly) {
  StringDownloadSink sink(10);
  EXPECT_TRUE(sink.Write("0123456", 7));
  ::SetLastError(0);
  EXPECT_FALSE(sink.Write("789a", 4));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), ::GetLastError());
  EXPECT_EQ("0123456", sink.bytes());
  EXPECT_EQ(7u, sink.bytes_written());
  EXPECT_TRUE(sink.Write("789", 3));
  EXPECT_EQ(10u, sink.bytes_written());
  // The default cap is the in-memory one.
  EXPECT_EQ(kMaxInMemoryDownloadBytes, StringDownloadSink().max_bytes());
}

TEST(StringDownloadSinkTest, ResetForgetsTheOriginOfTheBytes) {
  StringDownloadSink sink;
  sink.SetOrigin("\"abc\"", 300);
  sink.set_resumed();
  ASSERT_TRUE(sink.Write("x", 1));
  EXPECT_EQ("\"abc\"", sink.validator());
  EXPECT_EQ(300u, sink.complete_length());
  EXPECT_TRUE(sink.resumed());
  ASSERT_TRUE(sink.Reset());
  EXPECT_EQ("", sink.validator());
  EXPECT_EQ(0u, sink.complete_length());
  EXPECT_FALSE(sink.resumed());
}

}  // namespace
}  // namespace lite_installer
