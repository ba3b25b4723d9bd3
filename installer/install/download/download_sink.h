// Destinations of one download: a file the caller opened, or a byte string
// in memory. HttpDownloader appends each chunk it reads and resumes from
// bytes_written(), so a sink counts only what it really stored.
#ifndef INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_SINK_H_
#define INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_SINK_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace lite_installer {

class DownloadSink {
 public:
  // Appends |length| bytes; true only if every byte was stored.
  virtual bool Write(const void* bytes, uint32_t length) = 0;
  // Discards what was stored and starts again at size 0; forgets which
  // file the bytes came from.
  virtual bool Reset() = 0;
  virtual ~DownloadSink() = default;

  // What identifies the file the stored bytes are the start of: its
  // validator (an ETag, or a Last-Modified date when the server gave no
  // ETag; empty when it gave neither) and its complete length (0 when
  // unknown). A resume asks for the rest of that file only.
  const std::string& validator() const { return validator_; }
  uint64_t complete_length() const { return complete_length_; }
  void SetOrigin(const std::string& validator, uint64_t complete_length) {
    validator_ = validator;
    complete_length_ = complete_length;
  }
  // Whether the stored bytes came from more than one answer (a resume
  // continued them) since the last Reset.
  bool resumed() const { return resumed_; }
  void set_resumed() { resumed_ = true; }

  // Bytes stored since the last Reset. 64 bits: a setup archive may be
  // larger than 4 GiB some day, and sizes are compared with Content-Length.
  uint64_t bytes_written() const { return bytes_written_; }

 protected:
  // For Reset: forgets the origin and the resume.
  void ClearOrigin() {
    validator_.clear();
    complete_length_ = 0;
    resumed_ = false;
  }

  uint64_t bytes_written_ = 0;

 private:
  std::string validator_;
  uint64_t complete_length_ = 0;
  bool resumed_ = false;
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

// The in-memory downloads (seeds, the report, slides) are small; a body
// beyond this is refused rather than allowed to exhaust the memory.
constexpr uint64_t kMaxInMemoryDownloadBytes = 16 * 1024 * 1024;

// Keeps the body in memory, up to |max_bytes|: a Write that would pass it,
// or that cannot get the memory, fails with ERROR_NOT_ENOUGH_MEMORY and
// leaves the stored bytes as they were.
class StringDownloadSink : public DownloadSink {
 public:
  explicit StringDownloadSink(uint64_t max_bytes = kMaxInMemoryDownloadBytes)
      : max_bytes_(max_bytes) {}
  uint64_t max_bytes() const { return max_bytes_; }
  bool Write(const void* bytes, uint32_t length) override;
  bool Reset() override;

  const std::string& bytes() const { return bytes_; }
  std::string TakeBytes();

 private:
  uint64_t max_bytes_;
  std::string bytes_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_DOWNLOAD_SINK_H_
