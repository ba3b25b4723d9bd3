#include "installer/brand/installer_tag_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "installer/brand/installer_tag_test_util.h"

namespace lite_installer {
namespace {

using namespace tag_test;

// Places the bytes right before an inaccessible page, so that a read past
// the end of the buffer faults instead of passing unnoticed.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(const std::vector<uint8_t>& bytes) {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    size_t page = info.dwPageSize;
    size_t data_pages = (bytes.size() + page - 1) / page;
    size_t total = (data_pages + 1) * page;
    base_ = static_cast<uint8_t*>(::VirtualAlloc(
        nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    ::VirtualProtect(base_ + data_pages * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + data_pages * page - bytes.size();
    if (!bytes.empty())
      std::memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;
  ~GuardedBuffer() { ::VirtualFree(base_, 0, MEM_RELEASE); }

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

CertificateTagResult ReadTagA(const std::vector<uint8_t>& image) {
  GuardedBuffer buffer(image);
  return ExtractTagFromCertificateTable(buffer.data(), buffer.size());
}

std::string ReadTagB(const std::vector<uint8_t>& image) {
  GuardedBuffer buffer(image);
  return ReadSignatureTrailerTagFromImage(buffer.data(), buffer.size());
}

void ExpectTagA(const std::vector<uint8_t>& image,
                CertificateTagStatus status,
                const std::string& tag) {
  CertificateTagResult result = ReadTagA(image);
  EXPECT_EQ(static_cast<int>(result.status), static_cast<int>(status));
  EXPECT_EQ(result.tag, tag);
}

constexpr auto kOk = CertificateTagStatus::kOk;
constexpr auto kNoTable = CertificateTagStatus::kNoCertificateTable;
constexpr auto kBadAsn1 = CertificateTagStatus::kInvalidAsn1;

TEST(TagCertificateTableTest, ReadsCarriersInCertificateOrder) {
  std::string signer = OrdinaryCertificate("Signer");
  ExpectTagA(Image(SignedData({signer, CarrierCertificate("lang=tr&def=1")})),
             kOk, "lang=tr&def=1");
  ExpectTagA(Image(SignedData({CarrierCertificate("a=1&"), signer,
                               CarrierCertificate("b=2")})),
             kOk, "a=1&b=2");
  ExpectTagA(Image(SignedData({signer, OrdinaryCertificate("CA")})), kOk, "");
  ExpectTagA(Image(SignedData({})), kOk, "");
  // Trailing bytes after the announced tag are ignored; an empty tag counts.
  ExpectTagA(Image(SignedData(
                 {CarrierCertificate("abcdef", 3), CarrierCertificate("")})),
             kOk, "abc");
}

TEST(TagCertificateTableTest, SecurityDirectoryPositionFollowsTheMagic) {
  std::string signed_data = SignedData({CarrierCertificate("x=64")});
  ImageOptions pe32_plus;
  pe32_plus.pe32_plus = true;
  std::vector<uint8_t> image = Image(signed_data, pe32_plus);
  // The PE32 position of a PE32+ image is the end of the directory before.
  PutU32Le(&image, SecurityDirectoryOffset(false), 0x7ffffff0);
  ExpectTagA(image, kOk, "x=64");

  std::vector<uint8_t> pe32 = Image(signed_data);
  pe32[kPeOffset + 25] = 0x02;  // claims PE32+: the directory is elsewhere
  ExpectTagA(pe32, kNoTable, "");
  pe32[kPeOffset + 25] = 0x03;  // neither magic
  ExpectTagA(pe32, kNoTable, "");
}

TEST(TagCertificateTableTest, DamagedCarrierContributesNothingOthersCount) {
  std::string good = CarrierCertificate("a=1");
  ExpectTagA(Image(SignedData({good, CarrierCertificate("b=2", 4),
                               CarrierCertificate("c=3")})),
             kOk, "a=1c=3");
  ExpectTagA(Image(SignedData({CarrierCertificate("b=2", 0xffff), good})), kOk,
             "a=1");
  // Three extensions only, or a fourth extension too short for a length.
  ExpectTagA(Image(SignedData({CarrierWithExtensions("\x00\x01z", 3), good})),
             kOk, "a=1");
  ExpectTagA(Image(SignedData({CarrierWithExtensions("\x05", 4), good})), kOk,
             "a=1");
}

TEST(TagCertificateTableTest, MissingOrMisplacedTableIsNotFound) {
  ExpectTagA(UnsignedImage(), kNoTable, "");
  ExpectTagA(UnsignedImage(true), kNoTable, "");
  ExpectTagA({}, kNoTable, "");
  ExpectTagA(std::vector<uint8_t>(63, 0), kNoTable, "");

  std::vector<uint8_t> image = Image(SignedData({CarrierCertificate("t")}));
  uint32_t dir = SecurityDirectoryOffset(false);
  uint32_t table = CertificateTableOffset(image, false);
  uint32_t size = static_cast<uint32_t>(image.size()) - table;
  struct Case {
    uint32_t offset, size;
  } cases[] = {
      {table, size + 1},     // one byte past the end
      {table + 8, size},     // shifted past the end
      {0xfffffff8u, 0x10},   // wraps around in 32 bits
      {table, 0xffffffffu},  // absurd size
      {0, size},             // no offset
      {table, 0},            // no size
      {table, 7},            // smaller than its own header
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> damaged = image;
    PutU32Le(&damaged, dir, c.offset);
    PutU32Le(&damaged, dir + 4, c.size);
    SCOPED_TRACE(testing::Message() << c.offset << "+" << c.size);
    ExpectTagA(damaged, kNoTable, "");
  }
}

TEST(TagCertificateTableTest, HeadersOutsideTheFileAreNotFound) {
  std::vector<uint8_t> image = Image(SignedData({CarrierCertificate("t")}));
  for (uint32_t pe_offset : {0xffffffffu, 0xfffffffcu, 0x7fffffffu,
                             static_cast<uint32_t>(image.size()) - 4}) {
    std::vector<uint8_t> damaged = image;
    PutU32Le(&damaged, 60, pe_offset);
    if (pe_offset == image.size() - 4)
      std::memcpy(&damaged[pe_offset], "PE\0\0", 4);
    ExpectTagA(damaged, kNoTable, "");
  }
  // The signature reaches 96 bytes past "PE\0\0" but not the directory.
  std::vector<uint8_t> short_image = UnsignedImage();
  short_image.resize(kPeOffset + 100);
  ExpectTagA(short_image, kNoTable, "");
  short_image.resize(kPeOffset + 156);  // the offset but not the size
  PutU32Le(&short_image, kPeOffset + 152, 0x10);
  ExpectTagA(short_image, kNoTable, "");
  std::vector<uint8_t> no_pe = image;
  no_pe[kPeOffset + 1] = 'X';
  ExpectTagA(no_pe, kNoTable, "");
}

TEST(TagCertificateTableTest, LengthFormsAndNestedLengths) {
  std::string carrier = CarrierCertificate("t=1");
  std::string signed_data = SignedData({carrier});
  // Outer length with five length bytes: no usable table.
  std::string five = signed_data;
  five[1] = static_cast<char>(0x85);
  ExpectTagA(Image(five), kNoTable, "");
  // The ContentInfo longer than the table.
  std::string longer = signed_data;
  longer[3] = static_cast<char>(longer[3] + 0x10);
  ExpectTagA(Image(longer), kBadAsn1, "");

  // A certificate with a bad length form, indefinite or five-byte.
  for (uint8_t form : {0x80, 0x85, 0xff}) {
    std::string list = carrier + std::string(1, 0x30) +
                       static_cast<char>(form) + std::string(8, '\x01');
    ExpectTagA(Image(SignedDataWithCertificateList(list)), kBadAsn1, "");
  }
  // A certificate longer than the list, and a list that does not end with
  // a whole certificate.
  ExpectTagA(Image(SignedDataWithCertificateList(carrier + "\x30\x7f\x00")),
             kBadAsn1, "");
  ExpectTagA(Image(SignedDataWithCertificateList(carrier + "\x30")), kBadAsn1,
             "");
  ExpectTagA(Image(SignedDataWithCertificateList(carrier + "\x30\x84\x00")),
             kBadAsn1, "");

  // A TBSCertificate longer than its certificate: not a carrier, the walk
  // goes on.
  std::string bad_tbs = carrier;
  size_t tbs_length_at = 1 + 1 + (static_cast<uint8_t>(carrier[1]) - 0x80) + 1;
  bad_tbs[tbs_length_at] = static_cast<char>(0x84);
  ExpectTagA(Image(SignedData({bad_tbs, CarrierCertificate("u=2")})), kOk,
             "u=2");
}

TEST(TagCertificateTableTest, PathToTheCertificateListFailures) {
  std::string cert = OrdinaryCertificate("S");
  // SignedData without the certificates element.
  std::string no_certs = Sequence(
      Der(0x06, "\x2a\x86\x48\x86\xf7\x0d\x01\x07\x02") +
      Der(0xa0, Sequence(Der(0x02, "\x01") + Der(0x31, "") + Sequence(""))));
  ExpectTagA(Image(no_certs), kBadAsn1, "");
  ExpectTagA(Image(Sequence("")), kBadAsn1, "");
  ExpectTagA(Image(std::string("\x30", 1)), kBadAsn1, "");
  // The SignedData claims more than its [0] holds.
  std::string signed_data = SignedData({cert, cert});
  auto header_size = [&](size_t at) -> size_t {
    uint8_t form = static_cast<uint8_t>(signed_data[at + 1]);
    return 2 + (form >= 0x80 ? form - 0x80 : 0);
  };
  size_t explicit_at = header_size(0) + 11;  // past the contentType OID
  ASSERT_EQ(static_cast<uint8_t>(signed_data[explicit_at]), 0xa0);
  size_t sequence_at = explicit_at + header_size(explicit_at);
  std::string inner = signed_data;
  inner[sequence_at + 1] = static_cast<char>(0x84);
  ExpectTagA(Image(inner), kBadAsn1, "");
}

TEST(TagCertificateTableTest, EveryTruncationIsSafe) {
  std::vector<uint8_t> image =
      Image(SignedData({OrdinaryCertificate("S"), CarrierCertificate("k=v")}));
  for (size_t n = 0; n < image.size(); ++n) {
    std::vector<uint8_t> truncated(image.begin(), image.begin() + n);
    CertificateTagResult result = ReadTagA(truncated);
    EXPECT_EQ(static_cast<int>(result.status), static_cast<int>(kNoTable)) << n;
    EXPECT_EQ(result.tag, "") << n;
  }
  ExpectTagA(image, kOk, "k=v");
}

std::vector<uint8_t> TrailerImage(const std::string& tag,
                                  bool pe32_plus = false,
                                  int announced_length = -1) {
  std::string signed_data =
      SignedData({OrdinaryCertificate("Signer"), OrdinaryCertificate("CA")});
  ImageOptions options;
  options.pe32_plus = pe32_plus;
  options.trailer =
      PaddingAfter(signed_data) + TrailerBlock(tag, announced_length);
  return Image(signed_data, options);
}

TEST(TagSignatureTrailerTest, ReadsTheBlockAfterThePaddedSignedData) {
  EXPECT_EQ(ReadTagB(TrailerImage("lang=uk&stat=2")), "lang=uk&stat=2");
  EXPECT_EQ(ReadTagB(TrailerImage("")), "");
  EXPECT_EQ(ReadTagB(TrailerImage(std::string("a\0b", 3))),
            std::string("a\0b", 3));
  // The tag may end exactly at the end of the file.
  std::vector<uint8_t> exact = TrailerImage("abcdefgh");
  while (exact.back() == 0)
    exact.pop_back();
  EXPECT_EQ(ReadTagB(exact), "abcdefgh");
  // Every padding length: the block follows the SignedData padded to 8.
  for (int extra = 0; extra < 8; ++extra) {
    std::string signed_data = SignedDataWithCertificateList(
        OrdinaryCertificate("S") + OrdinaryCertificate("C") +
        Der(0x04, std::string(extra, 'p')));
    ImageOptions options;
    options.trailer =
        PaddingAfter(signed_data) + TrailerBlock("p=" + std::to_string(extra));
    EXPECT_EQ(ReadTagB(Image(signed_data, options)),
              "p=" + std::to_string(extra));
  }
}

TEST(TagSignatureTrailerTest, PePlusImageReadsTheTableWhereItsMagicSays) {
  std::vector<uint8_t> image = TrailerImage("x=1", true);
  EXPECT_EQ(ReadTagB(image), "x=1");
  PutU32Le(&image, SecurityDirectoryOffset(false), 0);
  EXPECT_EQ(ReadTagB(image), "x=1");
  PutU32Le(&image, SecurityDirectoryOffset(false), 0x100);
  EXPECT_EQ(ReadTagB(image), "x=1");
}

TEST(TagSignatureTrailerTest, FailedChecksGiveNothing) {
  std::vector<uint8_t> image = TrailerImage("k=v");
  uint32_t table = CertificateTableOffset(image, false);
  auto damaged = [&](size_t offset, uint8_t value) {
    std::vector<uint8_t> copy = image;
    copy[offset] = value;
    return copy;
  };
  EXPECT_EQ(ReadTagB(damaged(0, 'Z')), "");
  EXPECT_EQ(ReadTagB(damaged(kPeOffset, 'X')), "");
  EXPECT_EQ(ReadTagB(damaged(table + 8, 0x31)), "");
  EXPECT_EQ(ReadTagB(damaged(table + 9, 0x81)), "");
  EXPECT_EQ(ReadTagB(damaged(kPeOffset + 24, 0x0c)), "");
  EXPECT_EQ(ReadTagB(UnsignedImage()), "");
  // One byte more than the file holds after the block.
  std::vector<uint8_t> short_tag = TrailerImage("k=v", false, 4);
  while (short_tag.back() == 0)
    short_tag.pop_back();
  EXPECT_EQ(ReadTagB(short_tag), "");
  EXPECT_EQ(ReadTagB(TrailerImage("k=v", false, 0xffff)), "");
  for (uint32_t offset : {0xffffffffu, 0xfffffff4u, 0xfffffff0u,
                          static_cast<uint32_t>(image.size()) - 9,
                          static_cast<uint32_t>(image.size())}) {
    std::vector<uint8_t> copy = image;
    PutU32Le(&copy, SecurityDirectoryOffset(false), offset);
    EXPECT_EQ(ReadTagB(copy), "") << offset;
  }
  // An announced SignedData length that puts the block past the end.
  std::vector<uint8_t> beyond = damaged(table + 10, 0xff);
  EXPECT_EQ(ReadTagB(beyond), "");
}

TEST(TagSignatureTrailerTest, EveryTruncationIsSafe) {
  std::vector<uint8_t> image = TrailerImage("abc=def");
  while (image.back() == 0)
    image.pop_back();
  for (size_t n = 0; n < image.size(); ++n) {
    std::vector<uint8_t> truncated(image.begin(), image.begin() + n);
    EXPECT_EQ(ReadTagB(truncated), "") << n;
  }
  EXPECT_EQ(ReadTagB(image), "abc=def");
}

}  // namespace
}  // namespace lite_installer
