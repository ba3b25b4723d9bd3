#include "installer/install/trust/cert_params.h"

// The trust headers build on the types of windows.h.
#include <wincrypt.h>
#include <wintrust.h>


#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/sha256.h"

namespace lite_installer {
namespace {

std::string SerialBytes(const CRYPT_INTEGER_BLOB& serial) {
  return std::string(reinterpret_cast<const char*>(serial.pbData),
                     serial.cbData);
}

}  // namespace

std::string CertificateId(const CertParams& params) {
  std::string id(params.issuer_serial.rbegin(), params.issuer_serial.rend());
  id.append(params.signer_serial.rbegin(), params.signer_serial.rend());
  return id;
}

bool IsSha256Signature(const CertParams& params) {
  return params.signature_algorithm == kSha256WithRsaOid;
}

std::string PublicKeyHash(const BYTE* bits, size_t size, DWORD unused_bits) {
  if (unused_bits != 0) {
    LOG(ERROR) << "Unsupported case: cUnusedBit=" << unused_bits;
    return std::string();
  }
  std::string digest;
  if (!lite_util::Sha256Digest(bits, size, &digest)) {
    LOG(ERROR) << "Failed to get public key sha256";
    return std::string();
  }
  return digest;
}

bool ExtractCertParams(HANDLE state_data, const std::wstring& path,
                       CertParams* params) {
  CRYPT_PROVIDER_DATA* provider =
      state_data ? ::WTHelperProvDataFromStateData(state_data) : nullptr;
  CRYPT_PROVIDER_SGNR* signer = nullptr;
  if (provider && provider->csSigners == 1)
    signer = ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  CRYPT_PROVIDER_CERT* signing = nullptr;
  CRYPT_PROVIDER_CERT* issuing = nullptr;
  if (signer && signer->csCertChain >= 2) {
    signing = ::WTHelperGetProvCertFromChain(signer, 0);
    issuing = ::WTHelperGetProvCertFromChain(signer, 1);
  }
  if (!signing || !signing->pCert || !signing->pCert->pCertInfo || !issuing ||
      !issuing->pCert || !issuing->pCert->pCertInfo) {
    LOG(WARNING) << "ExtractCertParams failed. " << path;
    return false;
  }
  const CERT_INFO* signer_info = signing->pCert->pCertInfo;
  params->issuer_serial = SerialBytes(issuing->pCert->pCertInfo->SerialNumber);
  params->signer_serial = SerialBytes(signer_info->SerialNumber);
  const char* oid = signer_info->SignatureAlgorithm.pszObjId;
  params->signature_algorithm = oid ? oid : "";
  const CRYPT_BIT_BLOB& key = signer_info->SubjectPublicKeyInfo.PublicKey;
  params->public_key_hash = PublicKeyHash(key.pbData, key.cbData,
                                          key.cUnusedBits);
  return true;
}

}  // namespace lite_installer
