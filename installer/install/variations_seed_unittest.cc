#include "installer/install/variations_seed.h"

#include <windows.h>

#include <jansson.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/file_test_util.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"

namespace lite_installer {
namespace {

std::string Dump(const VariationsSeed& seed) {
  json_t* object = BuildVariationsJson(seed);
  if (!object) return "(null)";
  char* text = json_dumps(object, 0);
  std::string result = text ? text : "(dump failed)";
  free(text);
  json_decref(object);
  return result;
}

class VariationsSeedTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&log_));
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"variations_seed_test_" +
            std::to_wstring(::GetCurrentProcessId()) + L".json";
  }
  void TearDown() override {
    ::DeleteFileW(path_.c_str());
    lite_util::SetLogSink(nullptr);
  }

  std::vector<lite_util::LogRecord> log_;
  std::wstring path_;
};

TEST_F(VariationsSeedTest, MembersInOrderWithDefaultFormatting) {
  VariationsSeed seed;
  seed.data = std::string("\0\xff\n\"x", 5);
  seed.signature = "MEUCIQ+/==";
  seed.last_modified = "Tue, 09 May 2023 10:00:00 GMT";
  seed.country = "by";
  const std::string expected =
      "{\"variations_seed_base64\": \"AP8KIng=\", "
      "\"variations_seed_signature\": \"MEUCIQ+/==\", "
      "\"variations_last_modified_time\": \"Tue, 09 May 2023 10:00:00 GMT\", "
      "\"variations_country\": \"by\"}";
  EXPECT_EQ(expected, Dump(seed));

  // The file holds exactly that text, with no line break added, and an
  // older, longer file is replaced whole.
  std::string filler(500, 'z');
  FILE* old_file = _wfopen(path_.c_str(), L"wb");
  ASSERT_NE(nullptr, old_file);
  fwrite(filler.data(), 1, filler.size(), old_file);
  fclose(old_file);
  ASSERT_TRUE(SaveVariations(path_, seed));
  EXPECT_EQ(expected, lite_util::ReadFileForTest(path_));

  // Empty headers stay as empty strings; quotes and controls are escaped.
  VariationsSeed bare;
  bare.signature = "s\"\t";
  EXPECT_EQ(
      "{\"variations_seed_base64\": \"\", "
      "\"variations_seed_signature\": \"s\\\"\\t\", "
      "\"variations_last_modified_time\": \"\", \"variations_country\": \"\"}",
      Dump(bare));
  EXPECT_TRUE(lite_util::TextsLoggedBy(log_, "BuildVariationsJson").empty());
}

TEST_F(VariationsSeedTest, HeaderThatIsNotUtf8IsRefusedAndNothingWritten) {
  VariationsSeed seed;
  seed.data = "seed";
  seed.signature = "sig";
  seed.country = "\xff\xfe";
  EXPECT_EQ("(null)", Dump(seed));
  EXPECT_FALSE(SaveVariations(path_, seed));
  EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES);
  std::vector<std::string> texts =
      lite_util::TextsLoggedBy(log_, "BuildVariationsJson");
  ASSERT_EQ(2u, texts.size());
  EXPECT_EQ("Failed to serialize variations value variations_country: "
            "\xff\xfe",
            texts[0]);
}

TEST_F(VariationsSeedTest, FolderThatDoesNotExistFailsTheOpen) {
  VariationsSeed seed;
  seed.signature = "sig";
  std::wstring path = path_ + L"\\missing\\seed.json";
  EXPECT_FALSE(SaveVariations(path, seed));
  EXPECT_EQ(std::vector<std::string>{"Failed to open variations file " +
                                     lite_util::WideToUtf8(path)},
            lite_util::TextsLoggedBy(log_, "SaveVariations"));
}

}  // namespace
}  // namespace lite_installer
