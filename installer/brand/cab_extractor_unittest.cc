#include "installer/brand/cab_extractor.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

// A "BIN" resource of this test program (brand_unittest_packages.rc).
std::string Fixture(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, L"BIN");
  if (!resource) return std::string();
  HGLOBAL loaded = ::LoadResource(module, resource);
  const char* data = static_cast<const char*>(::LockResource(loaded));
  return std::string(data, ::SizeofResource(module, resource));
}

// Offset of the first data block: the folder entry's coffCabStart, right
// after the 36-byte header of an archive without reserved space.
size_t FirstDataBlockOffset(const std::string& cab) {
  uint32_t offset = 0;
  std::memcpy(&offset, cab.data() + 36, sizeof(offset));
  return offset;
}

class CabExtractorTest : public testing::Test {
 protected:
  void SetUp() override {
    // Failures are logged; the records are not what these tests look at.
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
    brand_config_ = Fixture(L"FILE_BRAND_CONFIG");
    partner_config_ = Fixture(L"FILE_PARTNER_CONFIG");
    large_file_ = Fixture(L"FILE_LARGE");
    ASSERT_FALSE(brand_config_.empty());
    ASSERT_FALSE(partner_config_.empty());
    // Several 32 KiB data blocks.
    ASSERT_GT(large_file_.size(), 3u * 32768);
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  bool Extract(const std::string& cab, const std::string& wanted,
               CabFiles* files) {
    return ExtractFilesFromCab(cab.data(), cab.size(), wanted, files);
  }

  std::string brand_config_;
  std::string partner_config_;
  std::string large_file_;
  std::vector<lite_util::LogRecord> records_;
};

TEST_F(CabExtractorTest, ExtractsEveryFileOfStoredAndCompressedArchives) {
  for (const wchar_t* name : {L"CAB_STORED", L"CAB_MSZIP"}) {
    std::string cab = Fixture(name);
    ASSERT_FALSE(cab.empty());
    CabFiles files;
    ASSERT_TRUE(Extract(cab, "", &files));
    EXPECT_EQ(files, (CabFiles{{"brand_config", brand_config_},
                               {"partner_config", partner_config_},
                               {"large_file", large_file_}}));
  }
  // The compressed archive is really compressed.
  EXPECT_LT(Fixture(L"CAB_MSZIP").size(), large_file_.size() / 4);
}

TEST_F(CabExtractorTest, ExtractsOnlyTheWantedNameByExactComparison) {
  std::string cab = Fixture(L"CAB_MSZIP");
  CabFiles files;
  ASSERT_TRUE(Extract(cab, "partner_config", &files));
  EXPECT_EQ(files, (CabFiles{{"partner_config", partner_config_}}));
  for (const char* other : {"PARTNER_CONFIG", "partner_confi",
                            "partner_config ", "missing"}) {
    CabFiles none;
    EXPECT_TRUE(Extract(cab, other, &none)) << other;
    EXPECT_TRUE(none.empty()) << other;
  }
}

TEST_F(CabExtractorTest, ReplacesAnEarlierEntryOfTheSameName) {
  CabFiles files = {{"brand_config", "stale"}, {"kept", "k"}};
  ASSERT_TRUE(Extract(Fixture(L"CAB_STORED"), "brand_config", &files));
  EXPECT_EQ(files, (CabFiles{{"brand_config", brand_config_}, {"kept", "k"}}));
}

TEST_F(CabExtractorTest, AnyChangedDataByteFailsTheExtraction) {
  for (const wchar_t* name : {L"CAB_STORED", L"CAB_MSZIP"}) {
    const std::string cab = Fixture(name);
    const size_t start = FirstDataBlockOffset(cab);
    ASSERT_LT(start, cab.size());
    // Every byte of the first block's start, then a sample of the rest.
    for (size_t offset = start; offset < cab.size();
         offset += offset < start + 96 ? 1 : 211) {
      std::string damaged = cab;
      damaged[offset] = static_cast<char>(damaged[offset] ^ 0x5A);
      CabFiles files;
      EXPECT_FALSE(Extract(damaged, "", &files))
          << "offset " << offset << " of " << cab.size();
    }
  }
}

TEST_F(CabExtractorTest, DamageInsideTheWantedFileFailsTheExtraction) {
  // brand_config is the first file: its bytes open the first data block.
  const std::string cab = Fixture(L"CAB_MSZIP");
  std::string damaged = cab;
  size_t offset = FirstDataBlockOffset(cab) + 8 + 4;
  damaged[offset] = static_cast<char>(damaged[offset] ^ 0x01);
  CabFiles files;
  EXPECT_FALSE(Extract(damaged, "brand_config", &files));
}

TEST_F(CabExtractorTest, TruncatedArchivesFail) {
  const std::string cab = Fixture(L"CAB_MSZIP");
  for (size_t length : {size_t{0}, size_t{1}, size_t{35}, size_t{36},
                        FirstDataBlockOffset(cab), cab.size() / 2,
                        cab.size() - 1}) {
    CabFiles files;
    EXPECT_FALSE(Extract(cab.substr(0, length), "", &files)) << length;
  }
}

TEST_F(CabExtractorTest, RefusesWhatIsNoArchive) {
  CabFiles files;
  EXPECT_FALSE(ExtractFilesFromCab(nullptr, 0, "", &files));
  EXPECT_FALSE(Extract(std::string(4096, 'M'), "", &files));
  EXPECT_FALSE(Extract(brand_config_, "brand_config", &files));
  EXPECT_TRUE(files.empty());
}

}  // namespace
}  // namespace lite_installer
