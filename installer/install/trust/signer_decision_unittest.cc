#include "installer/install/trust/signer_decision.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/lite_util/logging/recording_log_sink_for_test.h"

namespace lite_installer {
namespace {

constexpr char kSha1WithRsaOid[] = "1.2.840.113549.1.1.5";
const wchar_t kPath[] = L"C:\\t\\setup.exe";

// Serials as the CryptoAPI hands them over (least significant byte first).
CertParams Cert(const std::string& issuer_le, const std::string& signer_le,
                const char* oid, const std::string& key_hash) {
  CertParams cert;
  cert.issuer_serial = issuer_le;
  cert.signer_serial = signer_le;
  cert.signature_algorithm = oid;
  cert.public_key_hash = key_hash;
  return cert;
}

SignatureFacts Signature(const CertParams& cert) {
  SignatureFacts facts;
  facts.has_cert_params = true;
  facts.cert = cert;
  return facts;
}

const std::string kKeyA(32, 'A');
const std::string kKeyB(32, 'B');

class SignerDecisionTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
    // Listed: the SHA-256 certificate (issuer 0a0b, signer 0102) pinned to
    // key A, the SHA-1 certificate (issuer 0a0b, signer 0304) unpinned.
    list_["\x0a\x0b\x01\x02"] = kKeyA;
    list_["\x0a\x0b\x03\x04"] = "";
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  bool Decide(const std::vector<SignatureFacts>& signatures) {
    records_.clear();
    return DecideModuleTrust(list_, kPath, signatures);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& record : records_) {
      EXPECT_STREQ("VerifyModuleImpl", record.function_name);
      texts.push_back(std::string(
                          lite_util::LogSeverityName(record.severity)) +
                      ": " + record.text);
    }
    return texts;
  }

  TrustedList list_;
  std::vector<lite_util::LogRecord> records_;
  // Listed SHA-256 signer with the pinned key; listed SHA-1 signer.
  const CertParams sha256_listed_ =
      Cert("\x0b\x0a", "\x02\x01", kSha256WithRsaOid, kKeyA);
  const CertParams sha1_listed_ =
      Cert("\x0b\x0a", "\x04\x03", kSha1WithRsaOid, kKeyB);
  const CertParams sha256_unlisted_ =
      Cert("\x0b\x0a", "\x09\x09", kSha256WithRsaOid, kKeyA);
  const CertParams sha1_unlisted_ =
      Cert("\x0b\x0a", "\x08\x08", kSha1WithRsaOid, kKeyA);
};

TEST_F(SignerDecisionTest, CertificateIdReversesBothSerials) {
  EXPECT_EQ(std::string("\x00\x0a\x0b\x01\x02", 5),
            CertificateId(Cert(std::string("\x0b\x0a\x00", 3), "\x02\x01",
                               kSha256WithRsaOid, "")));
}

TEST_F(SignerDecisionTest, SingleSignatures) {
  EXPECT_TRUE(Decide({Signature(sha256_listed_)}));
  EXPECT_EQ(std::vector<std::string>{
                "INFO: File successfully verified with sha256. C:\\t\\setup.exe"},
            Texts());

  EXPECT_TRUE(Decide({Signature(sha1_listed_)}));
  EXPECT_EQ(std::vector<std::string>{
                "INFO: File successfully verified. C:\\t\\setup.exe"},
            Texts());

  EXPECT_FALSE(Decide({Signature(sha256_unlisted_)}));
  EXPECT_EQ((std::vector<std::string>{
                "ERROR: Can not find sertificate in trusted list. "
                "C:\\t\\setup.exe",
                "ERROR: SHA256 verification failed. C:\\t\\setup.exe",
                "ERROR: KNOWN_ERROR_untrusted_certificate",
                "ERROR: Can not find any trusted certificates. "
                "C:\\t\\setup.exe"}),
            Texts());

  // A SHA-1 failure does not add the SHA-256 line.
  EXPECT_FALSE(Decide({Signature(sha1_unlisted_)}));
  EXPECT_EQ(3u, Texts().size());
}

TEST_F(SignerDecisionTest, PinnedKeyMustMatch) {
  CertParams other_key = sha256_listed_;
  other_key.public_key_hash = kKeyB;
  EXPECT_FALSE(Decide({Signature(other_key)}));
  EXPECT_EQ("ERROR: Public key is not match. C:\\t\\setup.exe", Texts()[0]);

  // An unpinned entry takes any key, also one whose hash is unknown.
  CertParams unknown_key = sha1_listed_;
  unknown_key.public_key_hash.clear();
  EXPECT_TRUE(Decide({Signature(unknown_key)}));
}

TEST_F(SignerDecisionTest, UnknownKeyIsNotThePinnedOne) {
  // The hash of the key could not be computed (unused bits, digest
  // failure): a pinned entry cannot be satisfied by it.
  CertParams unknown_key = sha256_listed_;
  unknown_key.public_key_hash.clear();
  EXPECT_FALSE(Decide({Signature(unknown_key)}));
  EXPECT_EQ("ERROR: Public key is not match. C:\\t\\setup.exe", Texts()[0]);
}

TEST_F(SignerDecisionTest, AnUnreadablePinAcceptsNoKey) {
  list_["\x0a\x0b\x01\x02"] = kUnreadableKeyPin;
  for (const std::string& hash :
       {kKeyA, kKeyB, std::string(), std::string(kUnreadableKeyPin)}) {
    CertParams cert = sha256_listed_;
    cert.public_key_hash = hash;
    EXPECT_FALSE(Decide({Signature(cert)}));
    EXPECT_EQ("ERROR: Public key is not match. C:\\t\\setup.exe", Texts()[0]);
  }
}

TEST_F(SignerDecisionTest, SignaturesThatDoNotCountLeaveTheDecisionAlone) {
  SignatureFacts refused = Signature(sha256_listed_);
  refused.status = static_cast<LONG>(0x80096010);
  SignatureFacts signer_failed = Signature(sha256_listed_);
  signer_failed.signer_verified = false;
  SignatureFacts no_params;  // chain of one certificate, for instance
  for (const SignatureFacts& facts : {refused, signer_failed, no_params}) {
    EXPECT_FALSE(Decide({facts}));
    EXPECT_EQ(2u, Texts().size());  // the two closing error lines only
    // A later good signature still counts.
    EXPECT_TRUE(Decide({facts, Signature(sha1_listed_)}));
  }
}

TEST_F(SignerDecisionTest, DualSignatureOrders) {
  // SHA-256 found first: accepted at once, the SHA-1 one is not looked at.
  SignerDecision decision(&list_, kPath);
  EXPECT_TRUE(decision.AddSignature(Signature(sha256_listed_)));

  // SHA-1 accepted, then SHA-256 not found: the SHA-256 failure wins.
  EXPECT_FALSE(
      Decide({Signature(sha1_listed_), Signature(sha256_unlisted_)}));
  EXPECT_EQ("ERROR: SHA256 verification failed. C:\\t\\setup.exe",
            Texts()[1]);

  // SHA-256 not found first: the later SHA-1 signature is ignored, even
  // though its certificate is listed.
  EXPECT_FALSE(
      Decide({Signature(sha256_unlisted_), Signature(sha1_listed_)}));
  EXPECT_EQ(4u, Texts().size());

  // SHA-1 accepted, then SHA-256 accepted.
  EXPECT_TRUE(Decide({Signature(sha1_listed_), Signature(sha256_listed_)}));
  EXPECT_EQ(std::vector<std::string>{
                "INFO: File successfully verified with sha256. C:\\t\\setup.exe"},
            Texts());

  // Both SHA-1: one listed one suffices, in either order.
  EXPECT_TRUE(Decide({Signature(sha1_unlisted_), Signature(sha1_listed_)}));
  EXPECT_TRUE(Decide({Signature(sha1_listed_), Signature(sha1_unlisted_)}));

  // A SHA-256 failure followed by an accepted SHA-256 signature.
  EXPECT_TRUE(
      Decide({Signature(sha256_unlisted_), Signature(sha256_listed_)}));
}

}  // namespace
}  // namespace lite_installer
