// The accept-or-refuse decision over the Authenticode signatures of a setup
// archive, one signature at a time, in the order WinVerifyTrust reports
// them. It sees only facts (status, certificate serials, signature
// algorithm, public-key hash) and the trusted list, so every order of
// signatures can be decided in a test without a signed file.
#ifndef INSTALLER_INSTALL_TRUST_SIGNER_DECISION_H_
#define INSTALLER_INSTALL_TRUST_SIGNER_DECISION_H_

#include <windows.h>

#include <string>
#include <vector>

#include "installer/install/trust/cert_params.h"
#include "installer/install/trust/trusted_list.h"

namespace lite_installer {

// One signature as the verifier found it.
struct SignatureFacts {
  // WinVerifyTrust's final answer for the signature (after the extended
  // check, when that ran); anything but 0 leaves the decision unchanged.
  LONG status = 0;
  // False when the signer check was asked for and failed.
  bool signer_verified = true;
  // False when the signing certificate and its issuer could not be read.
  bool has_cert_params = false;
  CertParams cert;
};

class SignerDecision {
 public:
  // |list| must outlive the decision; |path| only names the file in the log.
  SignerDecision(const TrustedList* list, const std::wstring& path);

  // Takes the next signature. True when it settles the matter: a SHA-256
  // signature of a listed certificate with a matching key accepts the file
  // at once, and later signatures need not be looked at.
  bool AddSignature(const SignatureFacts& facts);

  // The outcome after the last signature (logs it).
  bool Finish();

 private:
  const TrustedList* list_;
  std::wstring path_;
  bool accepted_ = false;
  bool sha256_failed_ = false;
};

// Runs a whole decision: the result of VerifyModuleImpl for a file whose
// signatures showed |signatures|, in order.
bool DecideModuleTrust(const TrustedList& list, const std::wstring& path,
                       const std::vector<SignatureFacts>& signatures);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_SIGNER_DECISION_H_
