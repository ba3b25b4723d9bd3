// Reads the trusted certificate list that a setup archive carries as its
// resources TRUSTED.JSON and SIGNATURE.DAT, and returns the list's text only
// when its signature verifies with one of the installer's built-in keys.
#ifndef INSTALLER_INSTALL_TRUST_TRUST_JSON_H_
#define INSTALLER_INSTALL_TRUST_TRUST_JSON_H_

#include <string>

namespace lite_installer {

// "C:\..." or "C:/..." or a path starting with two separators.
bool IsAbsoluteFilePath(const std::wstring& path);

// The JSON text of TRUSTED.JSON in the executable at |path|; empty on any
// failure (each logged).
std::string GetTrustJsonFromModule(const std::wstring& path);

// The part of GetTrustJsonFromModule after the resources are read:
// SIGNATURE.DAT is a 16-bit little-endian key index followed by an RSA
// SHA-1 signature over |trusted_json|. Empty on failure.
std::string VerifyTrustJson(const std::string& signature_dat,
                            const std::string& trusted_json);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_TRUST_JSON_H_
