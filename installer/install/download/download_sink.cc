#include "installer/install/download/download_sink.h"

#include <new>
#include <utility>

namespace lite_installer {

bool FileDownloadSink::Write(const void* bytes, uint32_t length) {
  DWORD written = 0;
  BOOL ok = ::WriteFile(file_, bytes, length, &written, nullptr);
  if (ok && written == length) {
    bytes_written_ += length;
    return true;
  }
  // A short write without an error is a full disk on some file systems.
  DWORD error = ok ? ERROR_DISK_FULL : ::GetLastError();
  if (written > 0) {
    // Cut off the part of the block that did reach the file, so that the
    // file again holds bytes_written() bytes and a resumed download
    // appends in the right place.
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(written);
    if (::SetFilePointerEx(file_, back, nullptr, FILE_CURRENT))
      ::SetEndOfFile(file_);
  }
  ::SetLastError(error);
  return false;
}

bool FileDownloadSink::Reset() {
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) return false;
  if (!::SetEndOfFile(file_)) return false;
  bytes_written_ = 0;
  ClearOrigin();
  return true;
}

bool StringDownloadSink::Write(const void* bytes, uint32_t length) {
  if (length > max_bytes_ - bytes_written_) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  try {
    bytes_.append(static_cast<const char*>(bytes), length);
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  bytes_written_ += length;
  return true;
}

bool StringDownloadSink::Reset() {
  bytes_.clear();
  bytes_written_ = 0;
  ClearOrigin();
  return true;
}

std::string StringDownloadSink::TakeBytes() {
  std::string bytes = std::move(bytes_);
  bytes_.clear();
  bytes_written_ = 0;
  return bytes;
}

}  // namespace lite_installer
