// Whether a signature that WinVerifyTrust refused gets a second, hash-only
// verification. Older Windows (8.1 and before) without the SHA-256 update
// refuses SHA-256 Authenticode signatures outright; checking the file's
// hash alone there still proves that the file is the one that was signed,
// and the trusted list then decides on the signer.
#ifndef INSTALLER_INSTALL_TRUST_EXTENDED_CHECK_H_
#define INSTALLER_INSTALL_TRUST_EXTENDED_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "installer/lite_util/windows_release.h"

namespace lite_installer {

// The experiment feature "win7update" and its parameters. No experiment
// configuration reaches the verifier yet, so the defaults apply.
struct ExtendedCheckConfig {
  bool win7update = true;
  // "win7-version", "crypt-version": when one is a valid version, the
  // running Windows (major.minor.build.revision) or crypt32.dll must be
  // newer than it.
  std::string win7_version;
  std::string crypt_version;
  // "verify_signer": also check the signer with VerifyFileSigner.
  bool verify_signer = false;
};

// One or more decimal components (of at most 9 digits) joined by ".";
// false for anything else.
bool ParseVersion(const std::string& text, std::vector<uint32_t>* version);

// Component by component, a missing component counting as 0.
bool IsOlderVersion(const std::vector<uint32_t>& a,
                    const std::vector<uint32_t>& b);

// The pure rule. The versions are asked for only when the configuration
// names a valid version to compare them with.
using VersionReader = std::vector<uint32_t> (*)();
bool ExtendedCheckEnabled(const ExtendedCheckConfig& config,
                          lite_util::WindowsRelease release,
                          VersionReader windows_version,
                          VersionReader crypt32_version);

// Whether a signature WinVerifyTrust refused with |status| may get the
// hash-only second look at all. A revoked certificate (CERT_E_REVOKED) and
// one the user or policy distrusts explicitly (TRUST_E_EXPLICIT_DISTRUST)
// are refusals about the signer, which a check of the file's hash alone
// must never overturn.
bool HashOnlyRetryAllowed(long status);

// The rule applied to the running system.
bool IsExtendedCheckEnabled(const ExtendedCheckConfig& config);

// major.minor.build.revision of the running Windows; empty (with a log
// line) when it cannot be read.
std::vector<uint32_t> GetWindowsVersion();
// The file version of the system's crypt32.dll; empty (with a log line)
// when it cannot be read.
std::vector<uint32_t> GetCrypt32DllVersion();

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_EXTENDED_CHECK_H_
