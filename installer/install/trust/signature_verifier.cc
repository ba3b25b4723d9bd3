#include "installer/install/trust/signature_verifier.h"

#include <windows.h>

#include <wincrypt.h>

#include <vector>

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

CryptoSignatureVerifier::~CryptoSignatureVerifier() { Cleanup(); }

bool CryptoSignatureVerifier::Verify(const std::string& signature,
                                     const std::string& public_key,
                                     const std::string& data) {
  return Initialize() && HashData(data) && ImportPublicKey(public_key) &&
         VerifySignature(signature);
}

bool CryptoSignatureVerifier::Initialize() {
  Cleanup();
  if (!::CryptAcquireContextW(provider_.Receive(), nullptr, nullptr,
                              PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    LOG(ERROR) << "Failed to initialize crypt context, error: "
               << ::GetLastError();
    return false;
  }
  return true;
}

bool CryptoSignatureVerifier::HashData(const std::string& data) {
  if (!::CryptCreateHash(provider_.Get(), CALG_SHA1, 0, 0, hash_.Receive())) {
    LOG(ERROR) << "Failed to initialize hash object, error: "
               << ::GetLastError();
    return false;
  }
  if (!::CryptHashData(hash_.Get(),
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()), 0)) {
    LOG(ERROR) << "Failed to hash data, error: " << ::GetLastError();
    return false;
  }
  return true;
}

bool CryptoSignatureVerifier::ImportPublicKey(const std::string& public_key) {
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD info_size = 0;
  if (!::CryptDecodeObjectEx(
          X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
          reinterpret_cast<const BYTE*>(public_key.data()),
          static_cast<DWORD>(public_key.size()), CRYPT_DECODE_ALLOC_FLAG,
          nullptr, &info, &info_size)) {
    LOG(ERROR) << "Failed to convert decode public key, error: "
               << ::GetLastError();
    return false;
  }
  lite_util::ScopedLocalMemory info_memory(info);
  if (!::CryptImportPublicKeyInfo(provider_.Get(),
                                  X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                  info, key_.Receive())) {
    LOG(ERROR) << "Failed to import crypt key, error: " << ::GetLastError();
    return false;
  }
  return true;
}

bool CryptoSignatureVerifier::VerifySignature(const std::string& signature) {
  if (signature.empty()) return false;
  // The CryptoAPI takes signatures least significant byte first.
  std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
  if (!::CryptVerifySignatureW(hash_.Get(), reversed.data(),
                               static_cast<DWORD>(reversed.size()),
                               key_.Get(), nullptr, 0)) {
    LOG(ERROR) << "Failed to verify signature, error: " << ::GetLastError();
    return false;
  }
  return true;
}

void CryptoSignatureVerifier::Cleanup() {
  if (key_.IsValid() && !::CryptDestroyKey(key_.Take()))
    LOG(ERROR) << "Failed to destroy crypt key, error: " << ::GetLastError();
  if (hash_.IsValid() && !::CryptDestroyHash(hash_.Take()))
    LOG(ERROR) << "Failed to destroy, error: " << ::GetLastError();
  if (provider_.IsValid() && !::CryptReleaseContext(provider_.Take(), 0)) {
    LOG(ERROR) << "Failed to release crypt context, error: "
               << ::GetLastError();
  }
}

}  // namespace lite_installer
