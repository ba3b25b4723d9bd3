// libFuzzer target: both installer tag readers over arbitrary file bytes.
// Built natively for Linux with AddressSanitizer by scripts/fuzz_parsers.sh.
// The input is copied into a buffer of exactly its size, so that any read
// past the end is reported.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "installer/brand/installer_tag_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
  if (size)
    std::memcpy(copy.get(), data, size);
  lite_installer::CertificateTagResult result =
      lite_installer::ExtractTagFromCertificateTable(copy.get(), size);
  if (result.status != lite_installer::CertificateTagStatus::kOk &&
      !result.tag.empty()) {
    __builtin_trap();  // a failed walk must not leave a partial tag
  }
  if (result.tag.size() > size)
    __builtin_trap();
  std::string trailer =
      lite_installer::ReadSignatureTrailerTagFromImage(copy.get(), size);
  if (trailer.size() > size)
    __builtin_trap();
  return 0;
}
