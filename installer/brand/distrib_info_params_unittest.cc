#include "installer/brand/distrib_info_params.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "installer/brand/installer_tag.h"
#include "installer/brand/installer_tag_test_util.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

using namespace tag_test;
using lite_util::LogRecord;

class RecordingSink : public lite_util::LogSink {
 public:
  explicit RecordingSink(std::vector<LogRecord>* records) : records_(records) {}
  void Emit(const LogRecord& record) override { records_->push_back(record); }

 private:
  std::vector<LogRecord>* records_;
};

bool WriteBytes(const std::wstring& path, const void* data, size_t size) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file.IsValid() &&
         ::WriteFile(file.Get(), data, static_cast<DWORD>(size), &written,
                     nullptr) &&
         written == size;
}

bool ReadText(const std::wstring& path, std::string* text) {
  std::vector<uint8_t> bytes;
  if (!ReadAllBytesFromFile(path, &bytes))
    return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ProgramFolder() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.rfind(L'\\') + 1);
}

// Load() without the process's own file, command line or registry: the
// "own module" is an image the test wrote, registry writes are recorded.
class TestDistribInfoParams : public DistribInfoParams {
 public:
  std::wstring GetOwnModulePath() const override { return module_path; }
  void StoreInRegistry(const std::string& text) override {
    stored.push_back(text);
  }

  std::wstring module_path;
  std::vector<std::string> stored;
};

class DistribInfoParamsTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"distrib_params_test_" +
           std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    lite_util::SetLogSink(new RecordingSink(&records_));
  }
  void TearDown() override {
    lite_util::SetLogSink(nullptr);
    for (const wchar_t* name : {L"distrib_info", L"installer.exe"})
      ::DeleteFileW((dir_ + name).c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }

  std::wstring WriteImage(const std::vector<uint8_t>& image) {
    std::wstring path = dir_ + L"installer.exe";
    EXPECT_TRUE(WriteBytes(path, image.data(), image.size()));
    return path;
  }

  std::string DistribInfoText() {
    std::string text;
    EXPECT_TRUE(ReadText(dir_ + L"distrib_info", &text));
    return text;
  }

  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const LogRecord& r : records_) {
      if (r.severity == lite_util::LOG_ERROR)
        errors.push_back(std::string(r.function_name) + ": " + r.text);
    }
    return errors;
  }

  std::wstring dir_;
  std::vector<LogRecord> records_;
};

CommandLine NoSwitches() {
  return CommandLine::FromString(L"installer.exe");
}

TEST_F(DistribInfoParamsTest, UnsignedFileGivesNoParameters) {
  TestDistribInfoParams params;
  params.module_path = WriteImage(UnsignedImage());
  EXPECT_FALSE(params.Load(NoSwitches(), dir_));
  EXPECT_TRUE(params.params().empty());
  EXPECT_TRUE(params.stored.empty());
  EXPECT_TRUE(params.GetDistributionInfoFilePath().empty());
  EXPECT_FALSE(FileExists(dir_ + L"distrib_info"));
  ASSERT_EQ(records_.size(), 1u);
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "ExtractTagFromFakeCertificate: Failed to find "
                          "certificate table in " +
                          lite_util::WideToUtf8(params.module_path)});
}

TEST_F(DistribInfoParamsTest, MalformedSignatureIsLoggedAndTagBStillTried) {
  std::string list = CarrierCertificate("a=1") + "\x30\x05";
  std::string signed_data = SignedDataWithCertificateList(list);
  ImageOptions options;
  options.trailer = PaddingAfter(signed_data) + TrailerBlock("b=2");
  TestDistribInfoParams params;
  params.module_path = WriteImage(Image(signed_data, options));
  ASSERT_TRUE(params.Load(NoSwitches(), dir_));
  EXPECT_EQ(params.params(), (DistribParamsMap{{"b", "2"}}));
  EXPECT_EQ(params.stored, std::vector<std::string>{"b=2"});
  EXPECT_EQ(params.GetDistributionInfoFilePath(), dir_ + L"distrib_info");
  EXPECT_EQ(DistribInfoText(), "{\n  \"b\": \"2\"\n}");
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "ExtractTagFromFakeCertificate: Invalid ASN1 format "
                          "of certificate table in " +
                          lite_util::WideToUtf8(params.module_path)});
}

TEST_F(DistribInfoParamsTest, UnreadableFileIsLogged) {
  TestDistribInfoParams params;
  params.module_path = dir_ + L"missing.exe";
  EXPECT_FALSE(params.Load(NoSwitches(), dir_));
  std::string path = lite_util::WideToUtf8(params.module_path);
  std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].rfind(
                "ReadAllBytesFromFile: Can't open file " + path + " - 2, ", 0),
            0u)
      << errors[0];
  EXPECT_EQ(errors[1],
            "ExtractTagFromFakeCertificate: Failed to read file " + path);
}

TEST_F(DistribInfoParamsTest, RealProgramsSignedAndUnsigned) {
  // The signed installer built beside the tests carries no tag.
  std::wstring installer = ProgramFolder() + L"lite_installer.exe";
  ASSERT_TRUE(FileExists(installer));
  EXPECT_EQ(ExtractTagFromFakeCertificate(installer), "");
  EXPECT_EQ(ReadSignatureTrailerTag(installer), "");
  EXPECT_TRUE(Errors().empty());
  // The unit tests are not signed.
  DistribInfoParams own;
  std::wstring self = own.GetOwnModulePath();
  EXPECT_EQ(self.substr(self.rfind(L'\\') + 1), L"lite_unittests.exe");
  EXPECT_EQ(ExtractTagFromFakeCertificate(self), "");
  EXPECT_EQ(ReadSignatureTrailerTag(self), "");
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "ExtractTagFromFakeCertificate: Failed to find "
                          "certificate table in " +
                          lite_util::WideToUtf8(self)});
}

TEST_F(DistribInfoParamsTest, FileWriteFailureKeepsThePath) {
  TestDistribInfoParams params;
  std::wstring missing_dir = dir_ + L"no\\such\\";
  CommandLine command_line =
      CommandLine::FromString(L"installer.exe --distr-info-params=x=1");
  ASSERT_TRUE(params.Load(command_line, missing_dir));
  EXPECT_EQ(params.GetDistributionInfoFilePath(),
            missing_dir + L"distrib_info");
  std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("CreateJsonFromDistribParams: Write json to file "
                            "error - 3, ",
                            0),
            0u)
      << errors[0];

  // Without a temporary directory no file is written into the current one.
  TestDistribInfoParams no_temp;
  EXPECT_FALSE(no_temp.Load(command_line, L""));
  EXPECT_TRUE(no_temp.GetDistributionInfoFilePath().empty());
  EXPECT_EQ(no_temp.stored, std::vector<std::string>{"x=1"});
  EXPECT_FALSE(FileExists(L"distrib_info"));
}

TEST_F(DistribInfoParamsTest, FindAndFlags) {
  TestDistribInfoParams params;
  ASSERT_TRUE(
      params.Load(CommandLine::FromString(
                      L"installer.exe "
                      L"--distr-info-params=def=yes&stat=2&first=1&=e&cancel"),
                  dir_));
  std::string value = "unchanged";
  EXPECT_FALSE(params.Find("lang", &value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_TRUE(params.Find("def", &value));
  EXPECT_EQ(value, "yes");
  EXPECT_TRUE(params.Find("", &value));
  EXPECT_EQ(value, "e");
  EXPECT_TRUE(params.Find("cancel", nullptr));
  EXPECT_FALSE(params.Find("DEF", nullptr));

  bool flag = true;
  EXPECT_FALSE(params.GetFlag("def", &flag));  // "yes": the user chooses
  EXPECT_FALSE(flag);
  EXPECT_TRUE(params.GetFlag("stat", &flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(params.GetFlag("first", &flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(params.GetFlag("missing", &flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(params.GetFlag("cancel", &flag));
}

TEST(DistribInfoJsonTest, OneStringMemberPerParameterInKeyOrder) {
  EXPECT_EQ(DistribParamsToJson({{"b", "x=y"}, {"a", "1"}, {"", ""}}),
            "{\n  \"\": \"\",\n  \"a\": \"1\",\n  \"b\": \"x=y\"\n}");
  EXPECT_EQ(DistribParamsToJson({{"q", "\"\\/\t"}}),
            "{\n  \"q\": \"\\\"\\\\/\\t\"\n}");
  // UTF-8 stays; other bytes are read as Latin-1, like the registry value.
  EXPECT_EQ(DistribParamsToJson({{"lang", "\xd1\x80\xd1\x83"}}),
            "{\n  \"lang\": \"\xd1\x80\xd1\x83\"\n}");
  EXPECT_EQ(DistribParamsToJson({{"\xe9", "caf\xe9"}}),
            "{\n  \"\xc3\xa9\": \"caf\xc3\xa9\"\n}");
  EXPECT_EQ(DistribParamsToJson({{"z", std::string("a\0b", 3)}}),
            "{\n  \"z\": \"a\\u0000b\"\n}");
}

TEST(DistribInfoRegistryTest, StoresTheTextWidenedByteByByte) {
  const wchar_t kValue[] = L"DistribInfoParams";
  std::wstring previous = lite_util::ReadValueFromBrowserKey(kValue);
  DistribInfoParams params;
  params.StoreInRegistry("lang=\xe9&x=1");
  EXPECT_EQ(lite_util::ReadValueFromBrowserKey(kValue), L"lang=\x00e9&x=1");
  if (previous.empty())
    lite_util::RemoveValueFromBrowserKey(kValue);
  else
    lite_util::StoreValueInBrowserKey(kValue, previous);
}

}  // namespace
}  // namespace lite_installer
