// Destinations of one download: a file the caller opened, or a byte string
// in memory. HttpDownloader appends each chunk it reads and resumes from
// bytes_written(), so a sink counts only what it really stored.
#ifndef INSTALLER_INSTALL_DOWNLOAD_SINK_H_
#define INSTALLER_INSTALL_DOWNLOAD_SINK_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace lite_installer {

class DownloadSink {
 public:
  // Appends |length| bytes; true only if every byte was stored.
  virtual bool Write(const void* bytes, uint32_t length) = 0;
  // Discards what was stored and starts again at size 0.
  virtual bool Reset() = 0;
  virtual ~DownloadSink() = default;

  // Bytes stored since the last Reset. 64 bits: a setup archive may be
  // larger than 4 GiB some day, and sizes are compared with Content-Length.
  uint64_t bytes_written() const { return bytes_written_; }

 protected:
  uint64_t bytes_written_ = 0;
};

// Writes at the file pointer of a handle it does not own. The file is
// expected to hold exactly bytes_written() bytes with the pointer at its
// end, which is what the sink itself leaves behind.
class FileDownloadSink : public DownloadSink {
 public:
  explicit FileDownloadSink(HANDLE file) : file_(file) {}
  bool Write(const void* bytes, uint32_t length) override;
  bool Reset() override;

 private:
  HANDLE file_;
};

class StringDownloadSink : public DownloadSink {
 public:
  bool Write(const void* bytes, uint32_t length) override;
  bool Reset() override;

  const std::string& bytes() const { return bytes_; }
  std::string TakeBytes();

 private:
  std::string bytes_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_SINK_H_
