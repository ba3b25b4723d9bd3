#include "installer/brand/installer_tag_test_util.h"

#include "installer/brand/installer_tag_reader.h"

namespace lite_installer {
namespace tag_test {
namespace {

std::string Oid(const std::string& encoded) {
  return Der(0x06, encoded);
}

std::string Extension(const std::string& oid, const std::string& value) {
  return Sequence(Oid(oid) + Der(0x04, value));
}

std::string BigEndian16(int value) {
  return std::string(1, static_cast<char>((value >> 8) & 0xff)) +
         static_cast<char>(value & 0xff);
}

std::string CertificateFromTbs(const std::string& tbs_contents) {
  std::string algorithm =
      Sequence(Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x05") + Der(0x05, ""));
  return Sequence(Sequence(tbs_contents) + algorithm +
                  Der(0x03, std::string("\x00\x01\x02\x03", 4)));
}

std::string PublicKeyInfo() {
  return Sequence(
      Sequence(Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x01") + Der(0x05, "")) +
      Der(0x03, std::string("\x00\x30\x06\x02\x01\x03\x02\x01\x03", 9)));
}

}  // namespace

std::string Der(uint8_t tag, const std::string& contents) {
  std::string out(1, static_cast<char>(tag));
  size_t n = contents.size();
  if (n < 0x80) {
    out += static_cast<char>(n);
  } else {
    std::string bytes;
    for (size_t v = n; v; v >>= 8)
      bytes.insert(bytes.begin(), static_cast<char>(v & 0xff));
    out += static_cast<char>(0x80 + bytes.size());
    out += bytes;
  }
  return out + contents;
}

std::string Sequence(const std::string& contents) {
  return Der(0x30, contents);
}

std::string OrdinaryCertificate(const std::string& subject) {
  std::string name =
      Sequence(Der(0x31, Sequence(Oid("\x55\x04\x03") + Der(0x13, subject))));
  std::string tbs =
      Der(0xa0, Der(0x02, "\x02")) + Der(0x02, "\x05") +
      Sequence(Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x01\x0b")) + name +
      Sequence(Der(0x17, "130101100000Z") + Der(0x17, "330101100000Z")) + name +
      PublicKeyInfo();
  return CertificateFromTbs(tbs);
}

std::string CarrierWithExtensions(const std::string& tag, int extension_count) {
  std::string extensions;
  const char* oids[] = {"\x55\x1d\x13", "\x55\x1d\x0f", "\x55\x1d\x0e",
                        "\x2b\x06\x01\x04\x01\x82\x37\x02\x01\x1e"};
  for (int i = 0; i < extension_count && i < 4; ++i) {
    std::string value = i == 3 ? tag : std::string("\x30\x00", 2);
    extensions += Extension(oids[i], value);
  }
  std::string tbs(reinterpret_cast<const char*>(kDummyCertificatePrefix),
                  sizeof(kDummyCertificatePrefix));
  tbs += PublicKeyInfo() + Der(0xa3, Sequence(extensions));
  return CertificateFromTbs(tbs);
}

std::string CarrierCertificate(const std::string& tag, int announced_length) {
  int length =
      announced_length < 0 ? static_cast<int>(tag.size()) : announced_length;
  return CarrierWithExtensions(BigEndian16(length) + tag, 4);
}

std::string SignedDataWithCertificateList(const std::string& list_contents) {
  std::string signed_data =
      Der(0x02, "\x01") +
      Der(0x31, Sequence(Oid("\x60\x86\x48\x01\x65\x03\x04\x02\x01"))) +
      Sequence(Oid("\x2b\x06\x01\x04\x01\x82\x37\x02\x01\x04")) +
      Der(0xa0, list_contents) + Der(0x31, Sequence(Der(0x02, "\x01")));
  return Sequence(Oid("\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02") +
                  Der(0xa0, Sequence(signed_data)));
}

std::string SignedData(const std::vector<std::string>& certificates) {
  std::string list;
  for (const std::string& c : certificates)
    list += c;
  return SignedDataWithCertificateList(list);
}

uint32_t SecurityDirectoryOffset(bool pe32_plus) {
  return kPeOffset + (pe32_plus ? 168 : 152);
}

void PutU32Le(std::vector<uint8_t>* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*image)[offset + i] = (value >> (8 * i)) & 0xff;
}

uint32_t CertificateTableOffset(const std::vector<uint8_t>& image,
                                bool pe32_plus) {
  uint32_t at = SecurityDirectoryOffset(pe32_plus);
  return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
         static_cast<uint32_t>(image[at + 3]) << 24;
}

std::vector<uint8_t> UnsignedImage(bool pe32_plus) {
  std::vector<uint8_t> image(0x200, 0);
  image[0] = 'M';
  image[1] = 'Z';
  PutU32Le(&image, 60, kPeOffset);
  image[kPeOffset] = 'P';
  image[kPeOffset + 1] = 'E';
  image[kPeOffset + 24] = 0x0b;
  image[kPeOffset + 25] = pe32_plus ? 0x02 : 0x01;
  return image;
}

std::vector<uint8_t> Image(const std::string& signed_data,
                           const ImageOptions& options) {
  std::vector<uint8_t> image = UnsignedImage(options.pe32_plus);
  std::string table = signed_data + options.trailer;
  while (table.size() % 8)
    table += '\0';
  uint32_t table_offset = static_cast<uint32_t>(image.size());
  uint32_t table_size = static_cast<uint32_t>(table.size() + 8);
  image.resize(image.size() + 8);
  PutU32Le(&image, table_offset, table_size);
  image[table_offset + 4] = 0x00;  // revision 0x0200
  image[table_offset + 5] = 0x02;
  image[table_offset + 6] = 0x02;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  image.insert(image.end(), table.begin(), table.end());
  PutU32Le(&image, SecurityDirectoryOffset(options.pe32_plus), table_offset);
  PutU32Le(&image, SecurityDirectoryOffset(options.pe32_plus) + 4, table_size);
  return image;
}

std::string TrailerBlock(const std::string& tag, int announced_length) {
  int length =
      announced_length < 0 ? static_cast<int>(tag.size()) : announced_length;
  return "Kact" + BigEndian16(length) + tag;
}

std::string PaddingAfter(const std::string& signed_data) {
  return std::string((8 - signed_data.size() % 8) % 8, '\0');
}

}  // namespace tag_test
}  // namespace lite_installer
