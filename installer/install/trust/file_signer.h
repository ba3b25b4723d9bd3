// A second opinion on a signed file's signer: the PKCS #7 signature of the
// embedded Authenticode message, checked with the CryptoAPI message
// functions (which do not check the file's hash).
#ifndef INSTALLER_INSTALL_TRUST_FILE_SIGNER_H_
#define INSTALLER_INSTALL_TRUST_FILE_SIGNER_H_

#include <string>

namespace lite_installer {

enum FileSignerResult {
  kFileSignerVerified = 0,
  kFileSignerFileMissing = 1,
  kFileSignerFileUnreadable = 2,
  kFileSignerQueryFailed = 3,
  kFileSignerNotVerified = 4,
};

FileSignerResult VerifyFileSigner(const std::wstring& path);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_FILE_SIGNER_H_
