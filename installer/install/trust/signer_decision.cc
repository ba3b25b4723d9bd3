#include "installer/install/trust/signer_decision.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

// The decision is the verifier's: its log lines carry its name.
constexpr char kVerifierName[] = "VerifyModuleImpl";

enum class ListAnswer { kNotListed, kKeyMatches, kKeyDiffers };

// A pinned key needs a computed hash equal to it. A certificate whose hash
// could not be computed therefore matches only an entry that pins nothing:
// an unknown key is not the pinned one. A pin that is not a SHA-256 hash
// (kUnreadableKeyPin) matches no key at all.
ListAnswer LookUp(const TrustedList& list, const CertParams& cert) {
  constexpr size_t kSha256Size = 32;
  auto entry = list.find(CertificateId(cert));
  if (entry == list.end()) return ListAnswer::kNotListed;
  const std::string& pin = entry->second;
  if (pin.empty() ||
      (pin.size() == kSha256Size && pin == cert.public_key_hash)) {
    return ListAnswer::kKeyMatches;
  }
  return ListAnswer::kKeyDiffers;
}

}  // namespace

SignerDecision::SignerDecision(const TrustedList* list,
                               const std::wstring& path)
    : list_(list), path_(path) {}

bool SignerDecision::AddSignature(const SignatureFacts& facts) {
  if (facts.status != 0 || !facts.signer_verified || !facts.has_cert_params)
    return false;
  const bool sha256 = IsSha256Signature(facts.cert);
  // Once a SHA-256 signature has failed, a weaker one cannot make up for it.
  if (sha256_failed_ && !sha256) return false;
  switch (LookUp(*list_, facts.cert)) {
    case ListAnswer::kKeyMatches:
      accepted_ = true;
      if (sha256) {
        LOG_AS(INFO, kVerifierName)
            << "File successfully verified with sha256. " << path_;
        return true;
      }
      return false;
    case ListAnswer::kNotListed:
      LOG_AS(ERROR, kVerifierName)
          << "Can not find sertificate in trusted list. " << path_;
      break;
    case ListAnswer::kKeyDiffers:
      LOG_AS(ERROR, kVerifierName) << "Public key is not match. " << path_;
      break;
  }
  if (sha256) {
    LOG_AS(ERROR, kVerifierName) << "SHA256 verification failed. " << path_;
    accepted_ = false;
    sha256_failed_ = true;
  }
  return false;
}

bool SignerDecision::Finish() {
  if (accepted_) {
    LOG_AS(INFO, kVerifierName) << "File successfully verified. " << path_;
    return true;
  }
  LOG_AS(ERROR, kVerifierName) << "KNOWN_ERROR_untrusted_certificate";
  LOG_AS(ERROR, kVerifierName)
      << "Can not find any trusted certificates. " << path_;
  return false;
}

bool DecideModuleTrust(const TrustedList& list, const std::wstring& path,
                       const std::vector<SignatureFacts>& signatures) {
  SignerDecision decision(&list, path);
  for (const SignatureFacts& facts : signatures) {
    if (decision.AddSignature(facts)) return true;
  }
  return decision.Finish();
}

}  // namespace lite_installer
