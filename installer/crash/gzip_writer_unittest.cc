#include "installer/crash/gzip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace lite_installer {
namespace {

std::string Gunzip(const std::string& compressed) {
  z_stream stream = {};
  EXPECT_EQ(Z_OK, inflateInit2(&stream, 31));
  stream.next_in =
      reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::string out;
  char buffer[1000];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof(buffer) - stream.avail_out);
  }
  EXPECT_EQ(Z_STREAM_END, result);
  EXPECT_EQ(0u, stream.avail_in);  // nothing after the one gzip member
  inflateEnd(&stream);
  return out;
}

TEST(GzipWriterTest, RoundTripOfABodyLargerThanTheReadPieces) {
  // Incompressible and repetitive parts, written in uneven pieces so that
  // the output crosses several of its 32 KiB pieces.
  std::string body;
  uint32_t state = 7;
  for (int i = 0; i < 150000; ++i) {
    state = state * 1103515245u + 12345u;
    body += (i / 20000) % 2 ? 'a' : static_cast<char>(state >> 24);
  }
  std::string compressed;
  size_t pieces = 0;
  GzipWriter writer([&](const char* data, size_t size) {
    EXPECT_LE(size, 32768u);
    compressed.append(data, size);
    ++pieces;
    return true;
  });
  ASSERT_TRUE(writer.Init());
  for (size_t at = 0; at < body.size(); at += 4097)
    ASSERT_TRUE(writer.Write(body.data() + at,
                             std::min<size_t>(4097, body.size() - at)));
  ASSERT_TRUE(writer.Finish());
  EXPECT_GT(pieces, 2u);
  ASSERT_GE(compressed.size(), 10u);
  EXPECT_EQ('\x1f', compressed[0]);
  EXPECT_EQ('\x8b', compressed[1]);
  EXPECT_LT(compressed.size(), body.size());
  EXPECT_EQ(body, Gunzip(compressed));
}

TEST(GzipWriterTest, EmptyBodyAndFailingSink) {
  std::string compressed;
  GzipWriter empty([&](const char* data, size_t size) {
    compressed.append(data, size);
    return true;
  });
  ASSERT_TRUE(empty.Init());
  ASSERT_TRUE(empty.Finish());
  EXPECT_EQ("", Gunzip(compressed));

  GzipWriter failing([](const char*, size_t) { return false; });
  ASSERT_TRUE(failing.Init());
  std::string big(200000, 'x');
  EXPECT_FALSE(failing.Write(big.data(), big.size()) && failing.Finish());
  EXPECT_FALSE(failing.error().empty());
}

}  // namespace
}  // namespace lite_installer
