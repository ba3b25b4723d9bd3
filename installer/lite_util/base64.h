// Strict Base64 decoding (RFC 4648 alphabet, "=" padding) for the trusted
// certificate list and the built-in public keys; encoding for the
// variations seed file.
#ifndef INSTALLER_LITE_UTIL_BASE64_H_
#define INSTALLER_LITE_UTIL_BASE64_H_

#include <string>

namespace lite_util {

// Decodes |text| into |bytes|. Refuses (returns false, |bytes| untouched)
// a length that is not a multiple of 4, a character outside the alphabet
// (white space included), padding anywhere but in the last one or two
// places, and padding that hides non-zero bits.
bool Base64Decode(const std::string& text, std::string* bytes);
// The standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(const std::string& bytes);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_BASE64_H_
