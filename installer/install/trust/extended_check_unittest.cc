#include "installer/install/trust/extended_check.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

using lite_util::kWindows10;
using lite_util::kWindows7;
using lite_util::kWindows8_1;
using Version = std::vector<uint32_t>;

int g_windows_reads = 0;
int g_crypt32_reads = 0;
Version Windows7Sp1() {
  ++g_windows_reads;
  return {6, 1, 7601, 24000};
}
Version Crypt32() {
  ++g_crypt32_reads;
  return {6, 1, 7601, 23769};
}

TEST(ExtendedCheckTest, ParsesVersions) {
  Version version;
  EXPECT_TRUE(ParseVersion("6.1.7601.24000", &version));
  EXPECT_EQ((Version{6, 1, 7601, 24000}), version);
  EXPECT_TRUE(ParseVersion("10", &version));
  EXPECT_EQ(Version{10}, version);
  for (const char* text : {"", ".", "6.", ".1", "6..1", "6.1a", "-6", " 6",
                           "6.1 ", "1234567890"}) {
    EXPECT_FALSE(ParseVersion(text, &version)) << text;
  }
}

TEST(ExtendedCheckTest, ComparesWithMissingComponentsAsZero) {
  EXPECT_TRUE(IsOlderVersion({6, 1}, {6, 1, 0, 1}));
  EXPECT_FALSE(IsOlderVersion({6, 1, 0, 0}, {6, 1}));
  EXPECT_FALSE(IsOlderVersion({6, 1}, {6, 1}));
  EXPECT_TRUE(IsOlderVersion({6, 1, 7601}, {6, 2}));
  EXPECT_FALSE(IsOlderVersion({10}, {6, 3, 9600}));
}

TEST(ExtendedCheckTest, OnlyOnWindows81AndOlderWithTheFeatureOn) {
  ExtendedCheckConfig defaults;
  EXPECT_TRUE(ExtendedCheckEnabled(defaults, kWindows7, Windows7Sp1, Crypt32));
  EXPECT_TRUE(
      ExtendedCheckEnabled(defaults, kWindows8_1, Windows7Sp1, Crypt32));
  EXPECT_FALSE(
      ExtendedCheckEnabled(defaults, kWindows10, Windows7Sp1, Crypt32));
  ExtendedCheckConfig off;
  off.win7update = false;
  EXPECT_FALSE(ExtendedCheckEnabled(off, kWindows7, Windows7Sp1, Crypt32));
}

TEST(ExtendedCheckTest, VersionLimitsAskForVersionsOnlyWhenValid) {
  g_windows_reads = g_crypt32_reads = 0;
  ExtendedCheckConfig config;
  config.win7_version = "not a version";
  config.crypt_version = "";
  EXPECT_TRUE(ExtendedCheckEnabled(config, kWindows7, Windows7Sp1, Crypt32));
  EXPECT_EQ(0, g_windows_reads + g_crypt32_reads);

  config.win7_version = "6.1.7601.23999";  // older than the running one
  EXPECT_TRUE(ExtendedCheckEnabled(config, kWindows7, Windows7Sp1, Crypt32));
  config.win7_version = "6.1.7601.24000";  // not older
  EXPECT_FALSE(ExtendedCheckEnabled(config, kWindows7, Windows7Sp1, Crypt32));

  config.win7_version.clear();
  config.crypt_version = "6.1.7601.23768";
  EXPECT_TRUE(ExtendedCheckEnabled(config, kWindows7, Windows7Sp1, Crypt32));
  config.crypt_version = "6.2";
  EXPECT_FALSE(ExtendedCheckEnabled(config, kWindows7, Windows7Sp1, Crypt32));
  EXPECT_EQ(2, g_windows_reads);
  EXPECT_EQ(2, g_crypt32_reads);
}

TEST(ExtendedCheckTest, ReadsTheRunningSystem) {
  Version windows = GetWindowsVersion();
  ASSERT_EQ(4u, windows.size());
  EXPECT_GE(windows[0], 5u);
  Version crypt32 = GetCrypt32DllVersion();
  ASSERT_EQ(4u, crypt32.size());
  EXPECT_GE(crypt32[0], 5u);
}

TEST(ExtendedCheckTest, RevokedAndDistrustedSignersGetNoHashOnlyRetry) {
  EXPECT_FALSE(HashOnlyRetryAllowed(CERT_E_REVOKED));
  EXPECT_FALSE(HashOnlyRetryAllowed(TRUST_E_EXPLICIT_DISTRUST));
  EXPECT_FALSE(HashOnlyRetryAllowed(0));
  // What older systems answer for a SHA-256 signature they cannot check,
  // and the other refusals, do get it.
  for (long status : {TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST,
                      CERT_E_UNTRUSTEDROOT, TRUST_E_CERT_SIGNATURE,
                      CERT_E_CHAINING, TRUST_E_SUBJECT_FORM_UNKNOWN,
                      CRYPT_E_REVOCATION_OFFLINE, CERT_E_EXPIRED}) {
    EXPECT_TRUE(HashOnlyRetryAllowed(status)) << std::hex << status;
  }
}

}  // namespace
}  // namespace lite_installer
