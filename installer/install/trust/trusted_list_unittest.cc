#include "installer/install/trust/trusted_list.h"

#include <string>

#include <gtest/gtest.h>

namespace lite_installer {
namespace {

// 64 hex digits and the 32 bytes they stand for.
const char kHashHex[] =
    "00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100";
std::string HashBytes() {
  std::string bytes;
  for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<char>(i * 0x11));
  for (int i = 15; i >= 0; --i) bytes.push_back(static_cast<char>(i * 0x11));
  return bytes;
}

std::string List(const std::string& certificates) {
  return "{\"trusted_info\": {\"certificates\": [" + certificates + "]}}";
}

TEST(TrustedListTest, ReadsIdsAndPinnedKeys) {
  // "AQID" = 01 02 03, "/wAB" = ff 00 01.
  TrustedList list = ParseTrustedList(
      List("{\"id\": \"AQID\", \"pub_key\": \"" + std::string(kHashHex) +
           "\"}, {\"id\": \"/wAB\", \"other\": 1}"));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(HashBytes(), list.at("\x01\x02\x03"));
  EXPECT_EQ("", list.at(std::string("\xff\x00\x01", 3)));
  // Unsigned byte order: 0x01 sorts before 0xff.
  EXPECT_EQ("\x01\x02\x03", list.begin()->first);
}

TEST(TrustedListTest, OnlyAMissingPubKeyPinsNothing) {
  TrustedList list = ParseTrustedList(List("{\"id\": \"AQID\"}"));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ("", list.begin()->second);
}

TEST(TrustedListTest, AnUnreadablePubKeyPinsAKeyNothingMatches) {
  const std::string digits63 =
      "00112233445566778899aabbccddeeff00112233445566778899aabbccddeef";
  for (const std::string& pub_key :
       {std::string("\"\""), std::string("12"), std::string("null"),
        std::string("true"), std::string("[]"), std::string("\"00112233\""),
        "\"" + digits63 + "\"", "\"" + digits63 + "f0\"",
        "\"" + digits63 + "g\"", "\" " + digits63 + "f\"",
        "\"" + digits63 + "f \"", "\"0x" + digits63.substr(1) + "f\"",
        std::string("\"00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff:"
                    "00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff\""),
        std::string("1234567890123456789"), std::string("1.5e3"),
        "{\"hex\": \"" + digits63 + "f\"}"}) {
    SCOPED_TRACE(pub_key);
    TrustedList list =
        ParseTrustedList(List("{\"id\": \"AQID\", \"pub_key\": " + pub_key + "}"));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(kUnreadableKeyPin, list.begin()->second);
    EXPECT_NE(32u, list.begin()->second.size());
  }
}

TEST(TrustedListTest, SkipsEntriesWithoutAUsableId) {
  TrustedList list = ParseTrustedList(
      List("7, \"AQID\", [], {\"pub_key\": \"x\"}, {\"id\": 5}, "
           "{\"id\": \"AQI\"}, {\"id\": \"AQ ID\"}, {\"id\": \"BAUG\"}"));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(1u, list.count("\x04\x05\x06"));
}

TEST(TrustedListTest, FirstEntryOfAnIdWins) {
  TrustedList list = ParseTrustedList(
      List("{\"id\": \"AQID\"}, {\"id\": \"AQID\", \"pub_key\": \"" +
           std::string(kHashHex) + "\"}"));
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ("", list.begin()->second);
}

TEST(TrustedListTest, WrongShapesGiveAnEmptyList) {
  for (const char* text :
       {"", "not json", "[]", "{}", "{\"trusted_info\": []}",
        "{\"trusted_info\": {}}",
        "{\"trusted_info\": {\"certificates\": {\"id\": \"AQID\"}}}",
        "{\"trusted_info\": {\"certificates\": [{\"id\": \"AQID\"}]}",
        "{\"certificates\": [{\"id\": \"AQID\"}]}"}) {
    EXPECT_TRUE(ParseTrustedList(text).empty()) << text;
  }
}

}  // namespace
}  // namespace lite_installer
