#include "installer/install/trust/trust_json.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/trust/signature_verifier.h"
#include "installer/install/trust/trust_keys.h"
#include "installer/lite_util/base64.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

// The signed case needs a private key; the integration test trust_test
// signs real lists with the build's test keys. These cases need none.
class TrustJsonTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  std::vector<std::string> ErrorTexts() const {
    std::vector<std::string> texts;
    for (const auto& record : records_) {
      if (record.severity == lite_util::LOG_ERROR)
        texts.push_back(std::string(record.function_name) + ": " +
                        record.text);
    }
    return texts;
  }

  std::vector<lite_util::LogRecord> records_;
};

TEST_F(TrustJsonTest, AbsolutePaths) {
  for (const wchar_t* path : {L"C:\\a.exe", L"z:/a.exe", L"\\\\server\\a",
                              L"//server/a", L"\\\\?\\C:\\a.exe"}) {
    EXPECT_TRUE(IsAbsoluteFilePath(path)) << path;
  }
  for (const wchar_t* path : {L"", L"a.exe", L"C:a.exe", L"C:", L"\\a.exe",
                              L"1:\\a.exe", L"..\\a.exe"}) {
    EXPECT_FALSE(IsAbsoluteFilePath(path)) << path;
  }
}

TEST_F(TrustJsonTest, RelativePathIsRefusedBeforeLoading) {
  EXPECT_EQ("", GetTrustJsonFromModule(L"setup.exe"));
  EXPECT_EQ(std::vector<std::string>{
                "GetTrustJsonFromModule: Attempting to GetTrustJsonFromModule "
                "at an invalid path: setup.exe"},
            ErrorTexts());
}

TEST_F(TrustJsonTest, MissingFileAndFileWithoutResources) {
  EXPECT_EQ("", GetTrustJsonFromModule(L"C:\\no\\such\\setup.exe"));
  ASSERT_EQ(1u, ErrorTexts().size());
  EXPECT_EQ(0u, ErrorTexts()[0].find("GetTrustJsonFromModule: Failed to load "
                                     "module for GetTrustJsonFromModule: "));
  records_.clear();
  wchar_t self[MAX_PATH];
  ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  EXPECT_EQ("", GetTrustJsonFromModule(self));
  EXPECT_EQ(std::vector<std::string>{
                "GetTrustJsonFromModule: Cannot find resource SIGNATURE_DAT"},
            ErrorTexts());
}

TEST_F(TrustJsonTest, KeyIndexBeyondTheTableFindsNoKey) {
  const std::string json = "{\"trusted_info\": {\"certificates\": []}}";
  for (const std::string& dat :
       {std::string("\x0a\x00sig", 5), std::string("\x00\x01sig", 5),
        std::string("\xff\xffsig", 5)}) {
    records_.clear();
    EXPECT_EQ("", VerifyTrustJson(dat, json));
    EXPECT_EQ(std::vector<std::string>{"GetTrustJsonFromModule: Cannot find key"},
              ErrorTexts());
  }
}

TEST_F(TrustJsonTest, WrongSignatureIsAVerifyError) {
  const std::string json = "{\"trusted_info\": {\"certificates\": []}}";
  // A signature of the right length (1024 bits) that no key made.
  std::string dat("\x03\x00", 2);
  dat.append(128, '\x5a');
  EXPECT_EQ("", VerifyTrustJson(dat, json));
  std::vector<std::string> errors = ErrorTexts();
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(0u, errors[0].find("VerifySignature: Failed to verify signature, "
                               "error: "));
  EXPECT_EQ("GetTrustJsonFromModule: Verify error", errors[1]);
  // Too short to hold a signature.
  EXPECT_EQ("", VerifyTrustJson(std::string("\x03\x00", 2), json));
}

TEST_F(TrustJsonTest, TestBuildsCarryTenUsableKeys) {
  for (size_t index = 0; index < kTrustKeyCount; ++index) {
    const char* text = TrustKeyText(index);
    ASSERT_NE(nullptr, text) << index;
    EXPECT_EQ(216u, std::string(text).size()) << index;
    std::string der;
    ASSERT_TRUE(lite_util::Base64Decode(text, &der)) << index;
    CryptoSignatureVerifier verifier;
    EXPECT_TRUE(verifier.Initialize() && verifier.ImportPublicKey(der))
        << index;
  }
  EXPECT_EQ(nullptr, TrustKeyText(kTrustKeyCount));
}

}  // namespace
}  // namespace lite_installer
