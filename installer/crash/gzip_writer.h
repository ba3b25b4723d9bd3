// One gzip stream written piece by piece: the input is compressed as it
// comes and the output handed to a sink in bounded pieces, so neither side
// is ever held whole.
#ifndef INSTALLER_CRASH_GZIP_WRITER_H_
#define INSTALLER_CRASH_GZIP_WRITER_H_

#include <zlib.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace lite_installer {

class GzipWriter {
 public:
  // Receives compressed bytes; returning false stops the stream.
  using Sink = std::function<bool(const char* data, size_t size)>;

  explicit GzipWriter(Sink sink);
  GzipWriter(const GzipWriter&) = delete;
  GzipWriter& operator=(const GzipWriter&) = delete;
  ~GzipWriter();

  // deflateInit2 with the default level, window bits 31 (the gzip wrapper),
  // memory level 8 and the default strategy.
  bool Init();
  bool Write(const char* data, size_t size);
  // Ends the stream; nothing may be written after it.
  bool Finish();

  // What failed, for the diagnostic output ("deflate: <zlib message>").
  const std::string& error() const { return error_; }

 private:
  bool Deflate(int flush);

  Sink sink_;
  z_stream stream_;
  bool initialized_ = false;
  std::vector<char> out_;
  std::string error_;
};

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_GZIP_WRITER_H_
