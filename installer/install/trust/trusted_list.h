// The list of trusted signing certificates that the setup archive carries
// (its TRUSTED.JSON resource), parsed from bytes. No file, window or network
// code: the release tools and the tests parse the same text.
#ifndef INSTALLER_INSTALL_TRUST_TRUSTED_LIST_H_
#define INSTALLER_INSTALL_TRUST_TRUSTED_LIST_H_

#include <map>
#include <string>

namespace lite_installer {

// Certificate id (issuer serial then signer serial, each most significant
// byte first) to the pinned SHA-256 of the certificate's public key: 32
// bytes, empty when the entry pins no key, or kUnreadableKeyPin. std::string
// compares bytes as unsigned chars, which is the order the list is kept in.
using TrustedList = std::map<std::string, std::string>;

// The pin of an entry whose pub_key is present but unreadable. It is not 32
// bytes long, so it equals no key's hash: such an entry accepts no
// certificate (reading it as "no pin" would accept any key).
extern const char kUnreadableKeyPin[];

// Parses
//   {"trusted_info": {"certificates": [{"id": BASE64, "pub_key": HEX64}]}}
// Entries that are not objects, or whose id is not a string of valid
// Base64, are skipped; an entry without pub_key pins no key; a pub_key that
// is present but not a string of exactly 64 hexadecimal digits (null, a
// number, 63 digits, a space, colons, "0x") pins kUnreadableKeyPin. The
// first entry of an id wins.
// Text that is not JSON, or lacks the object or the array, gives an empty
// list.
TrustedList ParseTrustedList(const std::string& json_text);

// 64 hexadecimal digits (either case) to 32 bytes; false for anything else.
bool DecodePublicKeyHash(const std::string& hex, std::string* bytes);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_TRUSTED_LIST_H_
