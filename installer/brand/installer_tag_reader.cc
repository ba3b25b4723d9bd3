#include "installer/brand/installer_tag_reader.h"

#include <cstring>

namespace lite_installer {

const uint8_t kDummyCertificatePrefix[112] = {
    // version 3, serial number 1, sha1WithRSAEncryption with NULL.
    0xa0, 0x03, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01, 0x30, 0x0d, 0x06, 0x09,
    0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01, 0x05, 0x05, 0x00,
    // issuer CN "Unknown issuer".
    0x30, 0x19, 0x31, 0x17, 0x30, 0x15, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13,
    0x0e, 0x55, 0x6e, 0x6b, 0x6e, 0x6f, 0x77, 0x6e, 0x20, 0x69, 0x73, 0x73,
    0x75, 0x65, 0x72,
    // validity 2013-01-01 10:00:00Z to 2013-04-01 10:00:00Z.
    0x30, 0x1e, 0x17, 0x0d, 0x31, 0x33, 0x30, 0x31, 0x30, 0x31, 0x31, 0x30,
    0x30, 0x30, 0x30, 0x30, 0x5a, 0x17, 0x0d, 0x31, 0x33, 0x30, 0x34, 0x30,
    0x31, 0x31, 0x30, 0x30, 0x30, 0x30, 0x30, 0x5a,
    // subject CN "Dummy certificate".
    0x30, 0x1c, 0x31, 0x1a, 0x30, 0x18, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13,
    0x11, 0x44, 0x75, 0x6d, 0x6d, 0x79, 0x20, 0x63, 0x65, 0x72, 0x74, 0x69,
    0x66, 0x69, 0x63, 0x61, 0x74, 0x65};

namespace {

// Offsets inside the image, relative to the "PE\0\0" signature.
constexpr uint64_t kOptionalHeaderMagicOffset = 24;
constexpr uint64_t kSecurityDirectoryOffsetPe32 = 152;
constexpr uint64_t kSecurityDirectoryOffsetPe32Plus = 168;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint64_t kWinCertificateHeaderSize = 8;
constexpr uint64_t kPeSignatureOffsetField = 60;

// Every offset is 64-bit, so that a 32-bit value read from the file plus a
// constant can never wrap around.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint64_t size() const { return size_; }
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  bool ReadU16Le(uint64_t offset, uint16_t* value) const {
    if (!Has(offset, 2))
      return false;
    *value = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool ReadU32Le(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 4))
      return false;
    *value = static_cast<uint32_t>(data_[offset]) |
             static_cast<uint32_t>(data_[offset + 1]) << 8 |
             static_cast<uint32_t>(data_[offset + 2]) << 16 |
             static_cast<uint32_t>(data_[offset + 3]) << 24;
    return true;
  }
  bool ReadU16Be(uint64_t offset, uint16_t* value) const {
    if (!Has(offset, 2))
      return false;
    *value = static_cast<uint16_t>(data_[offset] << 8 | data_[offset + 1]);
    return true;
  }
  bool Equals(uint64_t offset, const void* bytes, uint64_t length) const {
    return Has(offset, length) &&
           std::memcmp(data_ + offset, bytes, length) == 0;
  }
  uint8_t At(uint64_t offset) const { return data_[offset]; }
  std::string Copy(uint64_t offset, uint64_t length) const {
    return std::string(reinterpret_cast<const char*>(data_ + offset),
                       static_cast<size_t>(length));
  }

 private:
  const uint8_t* data_;
  uint64_t size_;
};

// Finds the "PE\0\0" signature and the position of the security directory
// that the optional header's magic selects.
bool LocateSecurityDirectory(const ByteReader& reader,
                             uint64_t* directory_position) {
  uint32_t signature_offset = 0;
  if (!reader.ReadU32Le(kPeSignatureOffsetField, &signature_offset))
    return false;
  if (!reader.Equals(signature_offset, "PE\0\0", 4))
    return false;
  uint16_t magic = 0;
  if (!reader.ReadU16Le(signature_offset + kOptionalHeaderMagicOffset, &magic))
    return false;
  if (magic == kPe32Magic) {
    *directory_position = signature_offset + kSecurityDirectoryOffsetPe32;
  } else if (magic == kPe32PlusMagic) {
    *directory_position = signature_offset + kSecurityDirectoryOffsetPe32Plus;
  } else {
    return false;
  }
  return true;
}

// The part of the buffer a DER walk may look at: [pos, end), with end never
// beyond the buffer.
struct DerWindow {
  uint64_t pos;
  uint64_t end;
};

enum class DerHeader { kOk, kBadLengthForm, kOutOfWindow };

// Reads the tag byte (not examined) and the length at |window.pos|. On
// success |contents| is the element's contents, checked to lie inside the
// window.
DerHeader ReadElement(const ByteReader& reader,
                      const DerWindow& window,
                      DerWindow* contents) {
  uint64_t p = window.pos;
  if (p >= window.end || window.end - p < 2)
    return DerHeader::kOutOfWindow;
  uint8_t first = reader.At(p + 1);
  p += 2;
  uint64_t length = 0;
  if (first < 0x80) {
    length = first;
  } else if (first >= 0x81 && first <= 0x84) {
    uint64_t count = first - 0x80;
    if (window.end - p < count)
      return DerHeader::kOutOfWindow;
    for (uint64_t i = 0; i < count; ++i)
      length = length << 8 | reader.At(p + i);
    p += count;
  } else {
    return DerHeader::kBadLengthForm;
  }
  if (length > window.end - p)
    return DerHeader::kOutOfWindow;
  contents->pos = p;
  contents->end = p + length;
  return DerHeader::kOk;
}

// Makes the element at the window's position the new window.
bool Enter(const ByteReader& reader, DerWindow* window) {
  DerWindow contents;
  if (ReadElement(reader, *window, &contents) != DerHeader::kOk)
    return false;
  *window = contents;
  return true;
}

// Moves the window's position past the element there.
bool Skip(const ByteReader& reader, DerWindow* window) {
  DerWindow contents;
  if (ReadElement(reader, *window, &contents) != DerHeader::kOk)
    return false;
  window->pos = contents.end;
  return true;
}

bool SkipMany(const ByteReader& reader, DerWindow* window, int count) {
  for (int i = 0; i < count; ++i) {
    if (!Skip(reader, window))
      return false;
  }
  return true;
}

bool IsTagCarrier(const ByteReader& reader, DerWindow certificate) {
  if (!Enter(reader, &certificate) || !Enter(reader, &certificate))
    return false;
  return certificate.end - certificate.pos >= sizeof(kDummyCertificatePrefix) &&
         reader.Equals(certificate.pos, kDummyCertificatePrefix,
                       sizeof(kDummyCertificatePrefix));
}

// The tag in a carrier's fourth extension; false when the way there fails
// or the announced length exceeds the extension value.
bool ReadCarrierTag(const ByteReader& reader, DerWindow w, std::string* tag) {
  if (!Enter(reader, &w) || !Enter(reader, &w))
    return false;
  // version, serialNumber, signature, issuer, validity, subject,
  // subjectPublicKeyInfo.
  if (!SkipMany(reader, &w, 7))
    return false;
  if (!Enter(reader, &w) || !Enter(reader, &w))
    return false;  // [3], Extensions
  if (!SkipMany(reader, &w, 3))
    return false;
  if (!Enter(reader, &w))
    return false;  // the fourth extension
  if (!Skip(reader, &w))
    return false;  // extnID
  if (!Enter(reader, &w))
    return false;  // extnValue
  uint16_t length = 0;
  if (w.end - w.pos < 2 || !reader.ReadU16Be(w.pos, &length))
    return false;
  if (w.end - w.pos - 2 < length)
    return false;
  *tag = reader.Copy(w.pos + 2, length);
  return true;
}

}  // namespace

CertificateTagResult ExtractTagFromCertificateTable(const uint8_t* data,
                                                    size_t size) {
  CertificateTagResult result;
  ByteReader reader(data, data ? size : 0);
  uint64_t directory = 0;
  uint32_t table_offset = 0;
  uint32_t table_size = 0;
  if (reader.size() < 64 || !LocateSecurityDirectory(reader, &directory) ||
      !reader.ReadU32Le(directory, &table_offset) ||
      !reader.ReadU32Le(directory + 4, &table_size) || table_offset == 0 ||
      table_size < kWinCertificateHeaderSize ||
      !reader.Has(table_offset, table_size)) {
    result.status = CertificateTagStatus::kNoCertificateTable;
    return result;
  }

  DerWindow w = {table_offset + kWinCertificateHeaderSize,
                 static_cast<uint64_t>(table_offset) + table_size};
  DerWindow content_info;
  DerHeader outer = ReadElement(reader, w, &content_info);
  if (outer == DerHeader::kBadLengthForm) {
    result.status = CertificateTagStatus::kNoCertificateTable;
    return result;
  }
  // ContentInfo, contentType, [0], SignedData, version, digestAlgorithms,
  // encapContentInfo, [0] certificates.
  w = content_info;
  if (outer != DerHeader::kOk || !Skip(reader, &w) || !Enter(reader, &w) ||
      !Enter(reader, &w) || !SkipMany(reader, &w, 3) || !Enter(reader, &w)) {
    result.status = CertificateTagStatus::kInvalidAsn1;
    return result;
  }

  std::string tags;
  while (w.pos < w.end) {
    if (IsTagCarrier(reader, w)) {
      std::string tag;
      if (ReadCarrierTag(reader, w, &tag))
        tags += tag;
    }
    if (!Skip(reader, &w)) {
      result.status = CertificateTagStatus::kInvalidAsn1;
      return result;
    }
  }
  result.tag = tags;
  return result;
}

std::string ReadSignatureTrailerTagFromImage(const uint8_t* data, size_t size) {
  ByteReader reader(data, data ? size : 0);
  uint64_t directory = 0;
  uint32_t table_offset_field = 0;
  if (!reader.Equals(0, "MZ", 2) ||
      !LocateSecurityDirectory(reader, &directory) ||
      !reader.ReadU32Le(directory, &table_offset_field) ||
      table_offset_field == 0) {
    return std::string();
  }
  uint64_t table_offset = table_offset_field;
  static const uint8_t kSequenceWithTwoByteLength[] = {0x30, 0x82};
  uint16_t signed_data_length = 0;
  if (!reader.Equals(table_offset + 8, kSequenceWithTwoByteLength, 2) ||
      !reader.ReadU16Be(table_offset + 10, &signed_data_length)) {
    return std::string();
  }
  // The 8-byte header and the 4-byte DER header, padded to 8 bytes.
  uint64_t block = table_offset + ((signed_data_length + 19ull) & ~7ull);
  uint16_t tag_length = 0;
  if (!reader.Equals(block, "Kact", 4) ||
      !reader.ReadU16Be(block + 4, &tag_length) ||
      !reader.Has(block + 6, tag_length)) {
    return std::string();
  }
  return reader.Copy(block + 6, tag_length);
}

}  // namespace lite_installer
