#include "installer/install/trust/signature_verifier.h"

#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/trust/cert_params.h"
#include "installer/lite_util/logging/recording_log_sink_for_test.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

// A fresh 1024-bit RSA key of the CryptoAPI: its public key as DER
// SubjectPublicKeyInfo, and signatures in the byte order signing tools
// write (most significant byte first).
class TestSigningKey {
 public:
  bool Generate() {
    if (!::CryptAcquireContextW(provider_.Receive(), nullptr, nullptr,
                                PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !::CryptGenKey(provider_.Get(), AT_SIGNATURE,
                       (1024u << 16) | CRYPT_EXPORTABLE, key_.Receive())) {
      return false;
    }
    DWORD size = 0;
    if (!::CryptExportPublicKeyInfo(provider_.Get(), AT_SIGNATURE,
                                    X509_ASN_ENCODING, nullptr, &size)) {
      return false;
    }
    std::vector<BYTE> info(size);
    auto* key_info = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(info.data());
    DWORD der_size = 0;
    if (!::CryptExportPublicKeyInfo(provider_.Get(), AT_SIGNATURE,
                                    X509_ASN_ENCODING, key_info, &size) ||
        !::CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                               key_info, 0, nullptr, nullptr, &der_size)) {
      return false;
    }
    public_key_.resize(der_size);
    return ::CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                                 key_info, 0, nullptr,
                                 reinterpret_cast<BYTE*>(&public_key_[0]),
                                 &der_size);
  }

  std::string Sign(const std::string& data) {
    lite_util::ScopedCryptHash hash;
    DWORD size = 0;
    if (!::CryptCreateHash(provider_.Get(), CALG_SHA1, 0, 0, hash.Receive()) ||
        !::CryptHashData(hash.Get(), reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()), 0) ||
        !::CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, nullptr,
                          &size)) {
      return std::string();
    }
    std::string signature(size, '\0');
    if (!::CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0,
                          reinterpret_cast<BYTE*>(&signature[0]), &size)) {
      return std::string();
    }
    return std::string(signature.rbegin(), signature.rend());
  }

  const std::string& public_key() const { return public_key_; }

 private:
  lite_util::ScopedCryptProvider provider_;
  lite_util::ScopedCryptKey key_;
  std::string public_key_;
};

class CryptoSignatureVerifierTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_util::SetLogSink(new lite_util::RecordingSink(&records_));
    ASSERT_TRUE(key_.Generate());
  }
  void TearDown() override { lite_util::SetLogSink(nullptr); }

  TestSigningKey key_;
  std::vector<lite_util::LogRecord> records_;
};

TEST_F(CryptoSignatureVerifierTest, SignatureMostSignificantByteFirst) {
  const std::string data = "{\"trusted_info\": {\"certificates\": []}}";
  const std::string signature = key_.Sign(data);
  ASSERT_EQ(128u, signature.size());
  CryptoSignatureVerifier verifier;
  EXPECT_TRUE(verifier.Verify(signature, key_.public_key(), data));
  EXPECT_TRUE(records_.empty());
  // The verifier can be used again; each Verify starts afresh.
  EXPECT_TRUE(verifier.Verify(signature, key_.public_key(), data));

  // The CryptoAPI's own byte order is not what the resource holds.
  EXPECT_FALSE(verifier.Verify(std::string(signature.rbegin(),
                                           signature.rend()),
                               key_.public_key(), data));
  std::string changed = data;
  changed[5] ^= 0x01;
  records_.clear();
  EXPECT_FALSE(verifier.Verify(signature, key_.public_key(), changed));
  ASSERT_EQ(1u, records_.size());
  EXPECT_STREQ("VerifySignature", records_[0].function_name);
  EXPECT_EQ(0u, records_[0].text.find("Failed to verify signature, error: "));
}

TEST_F(CryptoSignatureVerifierTest, EmptySignatureFailsSilently) {
  CryptoSignatureVerifier verifier;
  EXPECT_FALSE(verifier.Verify("", key_.public_key(), "data"));
  EXPECT_TRUE(records_.empty());
}

TEST_F(CryptoSignatureVerifierTest, KeyThatDoesNotDecode) {
  CryptoSignatureVerifier verifier;
  EXPECT_FALSE(verifier.Verify(std::string(128, 'x'), "not a key", "data"));
  ASSERT_EQ(1u, records_.size());
  EXPECT_STREQ("ImportPublicKey", records_[0].function_name);
  EXPECT_EQ(0u, records_[0].text.find(
                    "Failed to convert decode public key, error: "));
}

TEST(PublicKeyHashTest, Sha256OfTheKeyBitsUnlessBitsAreUnused) {
  std::vector<lite_util::LogRecord> records;
  lite_util::SetLogSink(new lite_util::RecordingSink(&records));
  const BYTE abc[] = {'a', 'b', 'c'};
  // SHA-256("abc"); it holds a zero byte.
  const std::string expected(
      "\xba\x78\x16\xbf\x8f\x01\xcf\xea\x41\x41\x40\xde\x5d\xae\x22\x23"
      "\xb0\x03\x61\xa3\x96\x17\x7a\x9c\xb4\x10\xff\x61\xf2\x00\x15\xad",
      32);
  EXPECT_EQ(expected, PublicKeyHash(abc, sizeof(abc), 0));
  EXPECT_TRUE(records.empty());
  EXPECT_EQ("", PublicKeyHash(abc, sizeof(abc), 3));
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("Unsupported case: cUnusedBit=3", records[0].text);
  lite_util::SetLogSink(nullptr);
}

}  // namespace
}  // namespace lite_installer
