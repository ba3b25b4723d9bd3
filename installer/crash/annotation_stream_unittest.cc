#include "installer/crash/annotation_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace lite_installer {
namespace {

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

void PutU32(std::string* bytes, size_t at, uint32_t value) {
  std::memcpy(&(*bytes)[at], &value, 4);
}

class MemoryDump : public DumpFileAccess {
 public:
  explicit MemoryDump(std::string bytes) : bytes_(std::move(bytes)) {}
  bool ReadAt(uint32_t offset, void* buffer, uint32_t size) override {
    if (offset + size > bytes_.size()) return false;
    std::memcpy(buffer, bytes_.data() + offset, size);
    return true;
  }
  bool WriteAt(uint32_t offset, const void* buffer, uint32_t size) override {
    if (offset + size > bytes_.size()) return false;
    std::memcpy(&bytes_[offset], buffer, size);
    return true;
  }
  std::string bytes_;
};

// A minimal dump: header, a directory of two streams (another one, then
// the annotation stream) and the stream at |stream_at|.
std::string MakeDump(const std::string& stream, uint32_t stream_at) {
  std::string dump(stream_at, '\0');
  std::memcpy(&dump[0], "MDMP", 4);
  PutU32(&dump, 8, 2);    // streams
  PutU32(&dump, 12, 32);  // directory
  PutU32(&dump, 32, 3);   // a thread list, elsewhere
  PutU32(&dump, 44, kAnnotationStreamType);
  PutU32(&dump, 48, static_cast<uint32_t>(stream.size()));
  PutU32(&dump, 52, stream_at);
  return dump + stream;
}

TEST(AnnotationStreamTest, LayoutBeforeAndAfterTheFixUp) {
  GUID report = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  GUID client = {};
  std::map<std::string, std::string> annotations = {{"ver", "1.2"},
                                                    {"a", ""}};
  std::string stream = BuildAnnotationStream(report, client, annotations);
  EXPECT_EQ(1u, U32(stream, 0));
  EXPECT_EQ(0, std::memcmp(stream.data() + 4, &report, 16));
  // Records: "a" (4+1+1), "" (4+0+1), "ver" (4+3+1), "1.2" (4+3+1).
  EXPECT_EQ(4u + 16 + 6 + 5 + 8 + 8, U32(stream, 36));
  EXPECT_EQ(52u, U32(stream, 40));
  EXPECT_EQ(0u, U32(stream, 44));
  EXPECT_EQ(2u, U32(stream, 52));
  EXPECT_EQ(0u, U32(stream, 56));   // "a"
  EXPECT_EQ(6u, U32(stream, 60));   // ""
  EXPECT_EQ(11u, U32(stream, 64));  // "ver"
  EXPECT_EQ(19u, U32(stream, 68));  // "1.2"
  ASSERT_EQ(52u + 4 + 16 + 27, stream.size());

  const uint32_t at = 300;
  MemoryDump dump(MakeDump(stream, at));
  ASSERT_TRUE(FixUpAnnotationStream(&dump, 2));
  const std::string& bytes = dump.bytes_;
  uint32_t dictionary = U32(bytes, at + 40);
  EXPECT_EQ(at + 52, dictionary);
  uint32_t records = dictionary + 4 + 16;
  EXPECT_EQ(records, U32(bytes, dictionary + 4));
  uint32_t ver = U32(bytes, dictionary + 12);
  EXPECT_EQ(records + 11, ver);
  EXPECT_EQ(3u, U32(bytes, ver));
  EXPECT_EQ("ver", bytes.substr(ver + 4, 3));
  EXPECT_EQ("1.2", bytes.substr(U32(bytes, dictionary + 16) + 4, 3));
}

TEST(AnnotationStreamTest, FixUpRefusesWhatItDidNotWrite) {
  std::map<std::string, std::string> annotations = {{"k", "v"}};
  std::string stream = BuildAnnotationStream(GUID(), GUID(), annotations);
  // A count that differs from the stream's.
  MemoryDump wrong_count(MakeDump(stream, 100));
  EXPECT_FALSE(FixUpAnnotationStream(&wrong_count, 2));
  // A stream fixed up once already.
  MemoryDump twice(MakeDump(stream, 100));
  ASSERT_TRUE(FixUpAnnotationStream(&twice, 1));
  EXPECT_FALSE(FixUpAnnotationStream(&twice, 1));
  // No annotation stream in the directory.
  std::string other = MakeDump(stream, 100);
  PutU32(&other, 44, 7);
  MemoryDump missing(other);
  EXPECT_FALSE(FixUpAnnotationStream(&missing, 1));
  // A dump cut inside the stream.
  MemoryDump cut(MakeDump(stream, 100).substr(0, 130));
  EXPECT_FALSE(FixUpAnnotationStream(&cut, 1));
}

}  // namespace
}  // namespace lite_installer
