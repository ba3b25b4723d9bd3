#include "installer/install/temp_file.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

constexpr unsigned kFirstNumber = 0x4B20;

class TempFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = GetTempDirectory();
    ASSERT_FALSE(dir_.empty());
    planted_ = NameFor(kFirstNumber);
    ::DeleteFileW(planted_.c_str());
    ::DeleteFileW(NameFor(kFirstNumber + 1).c_str());
  }
  void TearDown() override {
    ::DeleteFileW(planted_.c_str());
    ::DeleteFileW(NameFor(kFirstNumber + 1).c_str());
  }
  // The name CreateUniqueTempFile tries for |number|.
  std::wstring NameFor(unsigned number) const {
    wchar_t name[MAX_PATH] = {};
    ::GetTempFileNameW(dir_.c_str(), L"ltt", number % 0xFFFF + 1, name);
    return name;
  }
  void Plant(const std::wstring& path, const std::string& bytes) {
    lite_util::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(),
                            static_cast<DWORD>(bytes.size()), &written,
                            nullptr));
  }

  std::wstring dir_;
  std::wstring planted_;
};

TEST_F(TempFileTest, APlantedNameIsPassedOverAndLeftAlone) {
  Plant(planted_, "planted");
  std::wstring path;
  lite_util::ScopedFileHandle file = CreateUniqueTempFile(
      dir_, L"ltt", GENERIC_WRITE, 0, kFirstNumber, &path);
  ASSERT_TRUE(file.IsValid());
  EXPECT_EQ(NameFor(kFirstNumber + 1), path);
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.Get(), "ours", 4, &written, nullptr));
  file.Close();
  EXPECT_EQ("planted", lite_util::ReadFileForTest(planted_));
  EXPECT_EQ("ours", lite_util::ReadFileForTest(path));
}

TEST_F(TempFileTest, TheHeldFileKeepsOthersOut) {
  std::wstring path;
  lite_util::ScopedFileHandle file = CreateUniqueTempFile(
      dir_, L"ltt", GENERIC_WRITE, 0, kFirstNumber, &path);
  ASSERT_TRUE(file.IsValid());
  EXPECT_EQ(planted_, path);
  // Nobody can replace, remove or open the name while the handle is held.
  EXPECT_FALSE(::DeleteFileW(path.c_str()));
  lite_util::ScopedFileHandle other(::CreateFileW(
      path.c_str(), GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(other.IsValid());
}

TEST_F(TempFileTest, AMarkedFileGoesWithItsHandleAndAnUnmarkedOneStays) {
  std::wstring marked;
  lite_util::ScopedFileHandle file = CreateUniqueTempFile(
      dir_, L"ltt", GENERIC_WRITE | DELETE, 0, kFirstNumber, &marked);
  ASSERT_TRUE(file.IsValid());
  ASSERT_TRUE(SetDeleteOnClose(file.Get(), true));
  file.Close();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(marked.c_str()));

  std::wstring kept;
  file = CreateUniqueTempFile(dir_, L"ltt", GENERIC_WRITE | DELETE, 0,
                              kFirstNumber, &kept);
  ASSERT_TRUE(file.IsValid());
  ASSERT_TRUE(SetDeleteOnClose(file.Get(), true));
  ASSERT_TRUE(SetDeleteOnClose(file.Get(), false));
  file.Close();
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(kept.c_str()));
}

TEST_F(TempFileTest, NoFolderNoFile) {
  std::wstring path;
  EXPECT_FALSE(CreateUniqueTempFile(L"", L"ltt", GENERIC_WRITE, 0,
                                    kFirstNumber, &path)
                   .IsValid());
  EXPECT_TRUE(path.empty());
}

}  // namespace
}  // namespace lite_installer
