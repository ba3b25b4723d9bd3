// The list of trusted signing certificates that the setup archive carries
// (its TRUSTED.JSON resource), parsed from bytes. No file, window or network
// code: the release tools and the tests parse the same text.
#ifndef INSTALLER_INSTALL_TRUSTED_LIST_H_
#define INSTALLER_INSTALL_TRUSTED_LIST_H_

#include <map>
#include <string>

namespace lite_installer {

// Certificate id (issuer serial then signer serial, each most significant
// byte first) to the pinned SHA-256 of the certificate's public key: 32
// bytes, or empty when the entry pins no key. std::string compares bytes as
// unsigned chars, which is the order the list is kept in.
using TrustedList = std::map<std::string, std::string>;

// Parses
//   {"trusted_info": {"certificates": [{"id": BASE64, "pub_key": HEX64}]}}
// Entries that are not objects, or whose id is not a string of valid
// Base64, are skipped; a pub_key that is missing, not a string or not
// exactly 64 hexadecimal digits pins no key. The first entry of an id wins.
// Text that is not JSON, or lacks the object or the array, gives an empty
// list.
TrustedList ParseTrustedList(const std::string& json_text);

// 64 hexadecimal digits (either case) to 32 bytes; false for anything else.
bool DecodePublicKeyHash(const std::string& hex, std::string* bytes);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUSTED_LIST_H_
