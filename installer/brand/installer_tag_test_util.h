// Builds small signed-looking PE images for the tag readers' tests: DER
// elements, certificates (ordinary ones and tag carriers), a SignedData
// with a certificate list, a certificate table and a tag block after it.
// Only the parts the readers look at are real.
#ifndef INSTALLER_BRAND_INSTALLER_TAG_TEST_UTIL_H_
#define INSTALLER_BRAND_INSTALLER_TAG_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace lite_installer {
namespace tag_test {

// A DER element with the shortest length form.
std::string Der(uint8_t tag, const std::string& contents);
std::string Sequence(const std::string& contents);

// A certificate whose TBSCertificate does not start with the dummy prefix.
std::string OrdinaryCertificate(const std::string& subject);
// A carrier: the dummy prefix and four extensions, the fourth holding
// |announced_length| (big-endian) followed by |tag|.
std::string CarrierCertificate(const std::string& tag,
                               int announced_length = -1);
// A carrier with only |extension_count| extensions.
std::string CarrierWithExtensions(const std::string& tag, int extension_count);

// ContentInfo { signedData, [0] SignedData { version, digestAlgorithms,
// encapContentInfo, [0] certificates, signerInfos } }.
std::string SignedData(const std::vector<std::string>& certificates);
std::string SignedDataWithCertificateList(const std::string& list_contents);

struct ImageOptions {
  bool pe32_plus = false;
  // Bytes appended after the SignedData inside the certificate table (the
  // table stays padded to 8 bytes).
  std::string trailer;
};

// A PE image whose certificate table holds |signed_data|.
std::vector<uint8_t> Image(const std::string& signed_data,
                           const ImageOptions& options = ImageOptions());
// A PE image without a certificate table.
std::vector<uint8_t> UnsignedImage(bool pe32_plus = false);

// "Kact", the 16-bit big-endian length and the tag.
std::string TrailerBlock(const std::string& tag, int announced_length = -1);
// Padding that puts a block right after the SignedData padded to 8 bytes.
std::string PaddingAfter(const std::string& signed_data);

// Offsets in the images Image() makes.
constexpr uint32_t kPeOffset = 0x80;
uint32_t SecurityDirectoryOffset(bool pe32_plus);
uint32_t CertificateTableOffset(const std::vector<uint8_t>& image,
                                bool pe32_plus);

void PutU32Le(std::vector<uint8_t>* image, size_t offset, uint32_t value);

}  // namespace tag_test
}  // namespace lite_installer

#endif  // INSTALLER_BRAND_INSTALLER_TAG_TEST_UTIL_H_
