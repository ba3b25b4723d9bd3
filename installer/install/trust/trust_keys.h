// The installer's built-in public keys for the signature of a setup
// archive's trusted certificate list. Which ten keys a program carries is
// chosen by the build (cmake/trust_keys.cmake): the publisher's for the
// shipped installer, keys made by the build for the test builds.
#ifndef INSTALLER_INSTALL_TRUST_TRUST_KEYS_H_
#define INSTALLER_INSTALL_TRUST_TRUST_KEYS_H_

#include <cstddef>

namespace lite_installer {

constexpr size_t kTrustKeyCount = 10;

// The Base64 text of the DER SubjectPublicKeyInfo of key |index|; null for
// an index above 9 and for an index the build left without a key.
const char* TrustKeyText(size_t index);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_TRUST_KEYS_H_
