#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/user_id.h"

#include <windows.h>
#include <shlobj.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/windows_release.h"

namespace lite_util {
namespace {

constexpr wchar_t kMarkerKey[] = L"Software\\AppDataLow\\Kelvra";
constexpr wchar_t kOldMarkerKey[] = L"Software\\Kelvra";

bool ReadFileBytes(const std::wstring& path, std::string* content) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr));
  if (!file.IsValid()) return false;
  content->clear();
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) &&
         read > 0) {
    content->append(buffer, read);
  }
  return true;
}

bool WriteFileBytes(const std::wstring& path, const std::string& content) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file.IsValid() &&
         ::WriteFile(file.Get(), content.data(),
                     static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

std::wstring MarkerName() {
  wchar_t user[257];
  DWORD size = 257;
  if (!::GetUserNameW(user, &size)) return std::wstring();
  return std::wstring(L"UICreated_") + user;
}

bool ReadMarker(const wchar_t* key_path, DWORD* value) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_READ,
                      key.Receive()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = sizeof(*value);
  return ::RegQueryValueExW(key.Get(), MarkerName().c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(value),
                            &size) == ERROR_SUCCESS &&
         type == REG_DWORD;
}

void WriteMarker(const wchar_t* key_path, DWORD value) {
  ScopedRegKey key;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.Receive(), nullptr));
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(key.Get(), MarkerName().c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)));
}

void DeleteMarker(const wchar_t* key_path) {
  ScopedRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_SET_VALUE,
                      key.Receive()) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key.Get(), MarkerName().c_str());
  }
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The user id file and its marker are real state of the test prefix: every
// test starts without either and the state found before is put back.
class UserIdTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(MarkerName().empty());
    path_ = GetUserIdFilePath(true);
    ASSERT_FALSE(path_.empty());
    had_file_ = ReadFileBytes(path_, &saved_file_);
    had_marker_ = ReadMarker(kMarkerKey, &saved_marker_);
    had_old_marker_ = ReadMarker(kOldMarkerKey, &saved_old_marker_);
    ::DeleteFileW(path_.c_str());
    DeleteMarker(kMarkerKey);
    DeleteMarker(kOldMarkerKey);
    SetLogSink(new RecordingSink(&records_));
  }

  void TearDown() override {
    SetLogSink(nullptr);
    ::DeleteFileW(path_.c_str());
    if (had_file_) {
      EXPECT_TRUE(WriteFileBytes(path_, saved_file_));
    }
    DeleteMarker(kMarkerKey);
    DeleteMarker(kOldMarkerKey);
    if (had_marker_) WriteMarker(kMarkerKey, saved_marker_);
    if (had_old_marker_) WriteMarker(kOldMarkerKey, saved_old_marker_);
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const LogRecord& record : records_) {
      lines.push_back(std::string(LogSeverityName(record.severity)) + " " +
                      record.function_name + ": " + record.text);
    }
    return lines;
  }

  std::wstring path_;
  std::vector<LogRecord> records_;

 private:
  bool had_file_ = false;
  bool had_marker_ = false;
  bool had_old_marker_ = false;
  std::string saved_file_;
  DWORD saved_marker_ = 0;
  DWORD saved_old_marker_ = 0;
};

TEST_F(UserIdTest, FilePathIsUnderRoamingAppData) {
  wchar_t app_data[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr,
                                           SHGFP_TYPE_CURRENT, app_data)));
  EXPECT_EQ(std::wstring(app_data) + L"\\Kelvra\\ui", path_);
  EXPECT_EQ(path_, GetUserIdFilePath(false));
  DWORD attributes = ::GetFileAttributesW((std::wstring(app_data) +
                                           L"\\Kelvra").c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(UserIdTest, IdIsCreatedOnceAndKept) {
  EXPECT_FALSE(IsUidCreated());
  std::string id = GetUserIdInternal();
  EXPECT_TRUE(std::regex_match(
      id, std::regex("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-"
                     "[0-9A-F]{12}\\}")))
      << id;
  std::string stored;
  ASSERT_TRUE(ReadFileBytes(path_, &stored));
  EXPECT_EQ(id, stored);  // no line end
  DWORD marker = 0;
  const wchar_t* marker_key =
      GetWindowsRelease() >= kWindowsVista ? kMarkerKey : kOldMarkerKey;
  ASSERT_TRUE(ReadMarker(marker_key, &marker));
  EXPECT_EQ(1u, marker);
  EXPECT_TRUE(IsUidCreated());
  EXPECT_TRUE(records_.empty()) << Lines()[0];

  EXPECT_EQ(id, GetUserIdInternal());
  ASSERT_TRUE(ReadFileBytes(path_, &stored));
  EXPECT_EQ(id, stored);
}

TEST_F(UserIdTest, FileOf64BytesIsAcceptedUnchanged) {
  std::string content(64, 'z');
  content[0] = ' ';  // no syntax check: any 1 to 64 bytes
  ASSERT_TRUE(WriteFileBytes(path_, content));
  EXPECT_EQ(content, GetUserIdInternal());
  EXPECT_TRUE(records_.empty());
}

TEST_F(UserIdTest, FileOf65BytesIsRejectedAndKeptWhenMarked) {
  std::string content(65, 'z');
  ASSERT_TRUE(WriteFileBytes(path_, content));
  ASSERT_TRUE(RememberUidIsCreated());
  EXPECT_EQ("", GetUserIdInternal());
  EXPECT_EQ((std::vector<std::string>{
                "ERROR ReadUserIdFromFile: Incorrect User ID file content",
                "INFO GetUserIdInternal: Registry entry already exists, skip "
                "User ID file generation"}),
            Lines());
  std::string stored;
  ASSERT_TRUE(ReadFileBytes(path_, &stored));
  EXPECT_EQ(content, stored);
}

TEST_F(UserIdTest, LongerFileFailsToRead) {
  ASSERT_TRUE(WriteFileBytes(path_, std::string(4000, 'z')));
  ASSERT_TRUE(RememberUidIsCreated());
  EXPECT_EQ("", GetUserIdInternal());
  ASSERT_FALSE(records_.empty());
  std::string path_utf8(path_.begin(), path_.end());  // ASCII in the prefix
  EXPECT_EQ("ERROR ReadUserIdFromFile: Failed to read file " + path_utf8,
            Lines()[0]);
}

TEST_F(UserIdTest, EmptyFileWithoutMarkerIsReplacedByANewId) {
  ASSERT_TRUE(WriteFileBytes(path_, ""));
  std::string id = GetUserIdInternal();
  EXPECT_EQ(38u, id.size());
  std::string stored;
  ASSERT_TRUE(ReadFileBytes(path_, &stored));
  EXPECT_EQ(id, stored);
  EXPECT_EQ((std::vector<std::string>{
                "ERROR ReadUserIdFromFile: Incorrect User ID file content"}),
            Lines());
}

TEST_F(UserIdTest, MarkerWithoutFileGivesEmptyIdAndNoFile) {
  ASSERT_TRUE(RememberUidIsCreated());
  EXPECT_TRUE(IsUidCreated());
  EXPECT_EQ("", GetUserIdInternal());
  EXPECT_FALSE(FileExists(path_));
  EXPECT_EQ((std::vector<std::string>{
                "INFO GetUserIdInternal: Registry entry already exists, skip "
                "User ID file generation"}),
            Lines());
}

// A marker left by a run on an older Windows counts as well.
TEST_F(UserIdTest, MarkerUnderTheOldKeyCounts) {
  WriteMarker(kOldMarkerKey, 1);
  EXPECT_TRUE(IsUidCreated());
  EXPECT_EQ("", GetUserIdInternal());
  EXPECT_FALSE(FileExists(path_));
}

}  // namespace
}  // namespace lite_util
