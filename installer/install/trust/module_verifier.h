// Decides whether the downloaded setup archive comes from a trusted
// publisher: its Authenticode signatures, checked by WinVerifyTrust, must
// include one whose certificate is on the archive's own trusted list (read
// and authenticated by GetTrustJsonFromModule) with a matching public key.
#ifndef INSTALLER_INSTALL_TRUST_MODULE_VERIFIER_H_
#define INSTALLER_INSTALL_TRUST_MODULE_VERIFIER_H_

#include <string>

#include "installer/install/trust/extended_check.h"
#include "installer/install/trust/trusted_list.h"

namespace lite_installer {

class TrustVerifier {
 public:
  // |trust_json|: the text of TRUSTED.JSON (see ParseTrustedList).
  explicit TrustVerifier(const std::string& trust_json,
                         const ExtendedCheckConfig& config =
                             ExtendedCheckConfig());

  // Logs "Verifying " with the path, then VerifyModuleImpl.
  bool VerifyModule(const std::wstring& path, bool no_network);

  const TrustedList& trusted_list() const { return trusted_list_; }

 private:
  bool VerifyModuleImpl(const std::wstring& path, bool no_network);

  TrustedList trusted_list_;
  ExtendedCheckConfig config_;
};

// The installer's check of the archive at |path|: the archive's trusted
// list, then TrustVerifier::VerifyModule. |no_network| would switch off
// revocation checks over the network; the installer passes false.
bool VerifyModule(const std::wstring& path, bool no_network);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_MODULE_VERIFIER_H_
