// What the trust decision needs to know about one Authenticode signature's
// signing certificate: the serial numbers that make its id in the trusted
// list, its signature algorithm and the hash of its public key.
#ifndef INSTALLER_INSTALL_TRUST_CERT_PARAMS_H_
#define INSTALLER_INSTALL_TRUST_CERT_PARAMS_H_

#include <windows.h>

#include <string>

namespace lite_installer {

// sha256WithRSAEncryption: the signature algorithm of a certificate whose
// signature counts as a SHA-256 one.
constexpr char kSha256WithRsaOid[] = "1.2.840.113549.1.1.11";

struct CertParams {
  // Serial numbers as the CryptoAPI stores them: least significant byte
  // first.
  std::string issuer_serial;
  std::string signer_serial;
  // OID of the signing certificate's signature algorithm.
  std::string signature_algorithm;
  // SHA-256 of the signing certificate's public-key bits; empty when it
  // could not be computed.
  std::string public_key_hash;
};

// Issuer serial, then signer serial, each most significant byte first: the
// id under which the trusted list names a certificate.
std::string CertificateId(const CertParams& params);

bool IsSha256Signature(const CertParams& params);

// SHA-256 over the bytes of a public-key BIT STRING. Empty, with an error
// logged, when the string has unused bits or the digest fails.
std::string PublicKeyHash(const BYTE* bits, size_t size, DWORD unused_bits);

// Reads the signing certificate and its issuer from the state that
// WinVerifyTrust left in |state_data|: the state must hold exactly one
// signer whose chain has at least two certificates. False (with a warning
// naming |path|) when it does not.
bool ExtractCertParams(HANDLE state_data, const std::wstring& path,
                       CertParams* params);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_TRUST_CERT_PARAMS_H_
