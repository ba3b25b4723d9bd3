#include "installer/brand/installer_tag.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "installer/brand/installer_tag_reader.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// ReadFile takes a 32-bit count; large files are read in pieces.
constexpr DWORD kMaxReadChunk = 16u << 20;

bool ReadExactly(HANDLE file, uint8_t* data, uint64_t size) {
  uint64_t done = 0;
  while (done < size) {
    DWORD chunk =
        static_cast<DWORD>(std::min<uint64_t>(size - done, kMaxReadChunk));
    DWORD read = 0;
    if (!::ReadFile(file, data + done, chunk, &read, nullptr))
      return false;
    if (read == 0) {
      // The file shrank while it was read.
      ::SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    done += read;
  }
  return true;
}

}  // namespace

bool ReadAllBytesFromFile(const std::wstring& path,
                          std::vector<uint8_t>* bytes) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    PLOG(ERROR) << "Can't open file " << path;
    return false;
  }
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(file.Get(), &length) || length.QuadPart < 0) {
    PLOG(ERROR) << "Failed to get length of " << path;
    return false;
  }
  uint64_t size = static_cast<uint64_t>(length.QuadPart);
  // A file larger than this process can hold (a 32-bit process and a huge
  // file) is a read failure, not an exception leaving the installer.
  if (size > bytes->max_size()) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    PLOG(ERROR) << "Failed to read all bytes of " << path;
    return false;
  }
  try {
    bytes->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    PLOG(ERROR) << "Failed to read all bytes of " << path;
    return false;
  }
  if (!ReadExactly(file.Get(), bytes->data(), size)) {
    PLOG(ERROR) << "Failed to read all bytes of " << path;
    bytes->clear();
    return false;
  }
  return true;
}

std::string ExtractTagFromFakeCertificate(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadAllBytesFromFile(path, &bytes)) {
    LOG(ERROR) << "Failed to read file " << path;
    return std::string();
  }
  CertificateTagResult result =
      ExtractTagFromCertificateTable(bytes.data(), bytes.size());
  switch (result.status) {
    case CertificateTagStatus::kOk:
      return result.tag;
    case CertificateTagStatus::kNoCertificateTable:
      LOG(ERROR) << "Failed to find certificate table in " << path;
      break;
    case CertificateTagStatus::kInvalidAsn1:
      LOG(ERROR) << "Invalid ASN1 format of certificate table in " << path;
      break;
  }
  return std::string();
}

std::string ReadSignatureTrailerTag(const std::wstring& path) {
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid())
    return std::string();
  // The view is bounded by the file's size, not by the page-rounded size of
  // the mapped region: bytes past the end of the file are not the file's.
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(file.Get(), &length) || length.QuadPart <= 0 ||
      static_cast<uint64_t>(length.QuadPart) > SIZE_MAX) {
    return std::string();
  }
  lite_util::ScopedHandle mapping(
      ::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.IsValid())
    return std::string();
  lite_util::ScopedMappedView view(
      ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.IsValid())
    return std::string();
  return ReadSignatureTrailerTagFromImage(
      static_cast<const uint8_t*>(view.Get()),
      static_cast<size_t>(length.QuadPart));
}

}  // namespace lite_installer
