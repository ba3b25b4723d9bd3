// Reads the distribution tag stamped into an installer file: the file side
// (reading, mapping, logging) around the byte parsers of
// installer_tag_reader.h.
#ifndef INSTALLER_BRAND_INSTALLER_TAG_H_
#define INSTALLER_BRAND_INSTALLER_TAG_H_

#include <cstdint>
#include <string>
#include <vector>

namespace lite_installer {

// The whole file; failures are logged with the Windows error.
bool ReadAllBytesFromFile(const std::wstring& path,
                          std::vector<uint8_t>* bytes);

// The tag carried by dummy certificates in the file's signature (tag A);
// empty, with an ERROR line, when the file or its signature is unusable.
std::string ExtractTagFromFakeCertificate(const std::wstring& path);

// The tag block after the file's signature (tag B); empty, without a log
// line, when there is none.
std::string ReadSignatureTrailerTag(const std::wstring& path);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_INSTALLER_TAG_H_
