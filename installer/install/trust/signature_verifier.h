// Checks an RSA PKCS #1 v1.5 signature with SHA-1 through the CryptoAPI:
// the signature of the trusted certificate list (SIGNATURE.DAT over
// TRUSTED.JSON) against one of the installer's built-in public keys.
#ifndef INSTALLER_INSTALL_TRUST_SIGNATURE_VERIFIER_H_
#define INSTALLER_INSTALL_TRUST_SIGNATURE_VERIFIER_H_

#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

class CryptoSignatureVerifier {
 public:
  CryptoSignatureVerifier() = default;
  CryptoSignatureVerifier(const CryptoSignatureVerifier&) = delete;
  CryptoSignatureVerifier& operator=(const CryptoSignatureVerifier&) = delete;
  ~CryptoSignatureVerifier();

  // |signature|: most significant byte first, as signing tools write it.
  // |public_key|: DER SubjectPublicKeyInfo. Stops at the first failing step.
  bool Verify(const std::string& signature, const std::string& public_key,
              const std::string& data);

  bool Initialize();
  bool HashData(const std::string& data);
  bool ImportPublicKey(const std::string& public_key);
  bool VerifySignature(const std::string& signature);
  // Releases the key, the hash and the context, logging what fails.
  void Cleanup();

 private:
  lite_util::ScopedCryptProvider provider_;
  lite_util::ScopedCryptHash hash_;
  lite_util::ScopedCryptKey key_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_SIGNATURE_VERIFIER_H_
