// Readers of the distribution tag stamped into a signed installer after
// signing. Both are byte parsers over the installer file's bytes: they
// bound every read by the buffer they are given, do their offset arithmetic
// in 64 bits, and call no Windows, file, window or network function (the
// Linux fuzzing build compiles this file on its own).
//
// Tag A lives in an extra, unsigned "dummy" certificate in the signature's
// certificate list: the fourth extension's value holds a 16-bit big-endian
// length and the tag. Tag B is a block "Kact", a 16-bit big-endian length
// and the tag, placed right after the SignedData padded to 8 bytes.
#ifndef INSTALLER_BRAND_INSTALLER_TAG_READER_H_
#define INSTALLER_BRAND_INSTALLER_TAG_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace lite_installer {

enum class CertificateTagStatus {
  kOk = 0,
  // Not a PE image, no certificate table, a table outside the file, or an
  // outer SignedData length of an unsupported form.
  kNoCertificateTable,
  // The way to the certificate list failed, a certificate has a bad length,
  // or the walk did not end exactly at the end of the list.
  kInvalidAsn1,
};

struct CertificateTagResult {
  CertificateTagStatus status = CertificateTagStatus::kOk;
  // The tags of every carrier, in certificate order; empty on any error.
  std::string tag;
};

// Tag A from the whole file's bytes.
CertificateTagResult ExtractTagFromCertificateTable(const uint8_t* data,
                                                    size_t size);

// Tag B from the whole file's bytes; empty when any check fails.
std::string ReadSignatureTrailerTagFromImage(const uint8_t* data, size_t size);

// The first bytes of a dummy certificate's TBSCertificate contents, which
// make it a tag carrier.
extern const uint8_t kDummyCertificatePrefix[112];

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_INSTALLER_TAG_READER_H_
