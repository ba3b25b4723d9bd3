#include "installer/crash/gzip_writer.h"

#include <cstring>

namespace lite_installer {
namespace {

constexpr size_t kOutputPieceSize = 32768;
constexpr int kGzipWindowBits = 31;
constexpr int kMemoryLevel = 8;
// zlib takes its input size as an unsigned int.
constexpr size_t kMaxInputPiece = 1 << 30;

}  // namespace

GzipWriter::GzipWriter(Sink sink) : sink_(std::move(sink)) {
  std::memset(&stream_, 0, sizeof(stream_));
}

GzipWriter::~GzipWriter() {
  if (initialized_) deflateEnd(&stream_);
}

bool GzipWriter::Init() {
  int result = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED,
                            kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
  if (result != Z_OK) {
    error_ = std::string("deflateInit2: ") +
             (stream_.msg ? stream_.msg : "error " + std::to_string(result));
    return false;
  }
  initialized_ = true;
  out_.resize(kOutputPieceSize);
  return true;
}

bool GzipWriter::Write(const char* data, size_t size) {
  if (!initialized_) return false;
  while (size > 0) {
    size_t piece = size < kMaxInputPiece ? size : kMaxInputPiece;
    stream_.next_in =
        reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(piece);
    if (!Deflate(Z_NO_FLUSH)) return false;
    data += piece;
    size -= piece;
  }
  return true;
}

bool GzipWriter::Finish() {
  if (!initialized_) return false;
  stream_.next_in = nullptr;
  stream_.avail_in = 0;
  return Deflate(Z_FINISH);
}

bool GzipWriter::Deflate(int flush) {
  for (;;) {
    stream_.next_out = reinterpret_cast<Bytef*>(out_.data());
    stream_.avail_out = static_cast<uInt>(out_.size());
    int result = deflate(&stream_, flush);
    if (result == Z_STREAM_ERROR) {
      error_ = std::string("deflate: ") +
               (stream_.msg ? stream_.msg : "stream error");
      return false;
    }
    size_t produced = out_.size() - stream_.avail_out;
    if (produced > 0 && !sink_(out_.data(), produced)) {
      error_ = "gzip output could not be stored";
      return false;
    }
    if (flush == Z_FINISH) {
      if (result == Z_STREAM_END) return true;
    } else if (stream_.avail_in == 0 && stream_.avail_out != 0) {
      return true;
    }
  }
}

}  // namespace lite_installer
