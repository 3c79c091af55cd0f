#include "tools/regsim/register_frame.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tillgate::regsim {
namespace {

using Bytes = std::vector<uint8_t>;

Message Make(MessageKind kind, char type) {
  Message m;
  m.kind = kind;
  m.type = type;
  return m;
}

// What the server demands of every message: at least 5 bytes and a length
// byte not above the count; and what we promise: checksum and length byte.
void ExpectWellFormed(const Bytes& f) {
  ASSERT_GE(f.size(), 6u);
  EXPECT_EQ(f[1], 0x30);
  EXPECT_EQ(f[2], f.size() - 3);
  EXPECT_EQ(std::accumulate(f.begin() + 3, f.end(), 0u) % 256, 0u);
}

TEST(RegisterFrame, ChecksumMatchesTheServersCommandFrames) {
  const struct {
    uint8_t code, sum;
  } kCases[] = {{'a', 0x9F}, {'+', 0xD5}, {'o', 0x91}, {'!', 0xDF}, {'u', 0x8B}};
  for (const auto& c : kCases) {
    const uint8_t covered[] = {0x00, c.code};
    EXPECT_EQ(Checksum(covered, 2), c.sum) << c.code;
    const uint8_t frame[] = {0x0A, 0x30, 0x03, 0x00, c.code, c.sum};
    EXPECT_TRUE(ChecksumHolds(frame, 6));
  }
  const uint8_t broken[] = {0x01, 0x30, 0x03, 0x00, 0x61, 0x9E};
  EXPECT_FALSE(ChecksumHolds(broken, 6));
}

TEST(RegisterFrame, GoodsByCodeLayout) {
  Message m = Make(MessageKind::kByCode, 'p');
  m.code = 12345;  // 0x3039
  m.quantity = 1500;
  const Bytes f = BuildFrame(2, 7, m);
  EXPECT_EQ(
      f, (Bytes{0x02, 0x30, 0x0D, 0x07, 'p', 0x39, 0x30, 0, 0, 0, 0, 0xDC, 0x05, 0, 0, f.back()}));
  ExpectWellFormed(f);
  m.type = 'l';
  m.quantity = 0;
  const Bytes v = BuildFrame(10, 0xFE, m);
  EXPECT_EQ(v[0], 10);
  EXPECT_EQ(v[3], 0xFE);
  EXPECT_EQ(v[4], 'l');
  ExpectWellFormed(v);
}

TEST(RegisterFrame, BarcodePackingEvenOddAndFull) {
  std::array<uint8_t, kBarcodeBytes> p{};
  ASSERT_TRUE(PackBarcode("2512345012345", &p));  // 13 digits: end nibble in the last byte
  EXPECT_EQ(p, (std::array<uint8_t, 7>{0x25, 0x12, 0x34, 0x50, 0x12, 0x34, 0x5D}));
  ASSERT_TRUE(PackBarcode("46012345", &p));  // EAN-8: end nibble opens the next byte
  EXPECT_EQ(p, (std::array<uint8_t, 7>{0x46, 0x01, 0x23, 0x45, 0xDD, 0xDD, 0xDD}));
  ASSERT_TRUE(PackBarcode("12345", &p));
  EXPECT_EQ(p, (std::array<uint8_t, 7>{0x12, 0x34, 0x5D, 0xDD, 0xDD, 0xDD, 0xDD}));
  ASSERT_TRUE(PackBarcode("12345678901234", &p));  // 14 digits leave no room for the end
  EXPECT_EQ(p, (std::array<uint8_t, 7>{0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34}));
  EXPECT_FALSE(PackBarcode("", &p));
  EXPECT_FALSE(PackBarcode("123456789012345", &p));
  EXPECT_FALSE(PackBarcode("12a4", &p));
}

TEST(RegisterFrame, GoodsByBarcodeLayout) {
  Message m = Make(MessageKind::kByBarcode, 's');
  m.barcode = "4601234567890";
  m.quantity = 2000;
  const Bytes f = BuildFrame(3, 1, m);
  ASSERT_EQ(f.size(), 18u);
  EXPECT_EQ(Bytes(f.begin() + 5, f.begin() + 12),
            (Bytes{0x46, 0x01, 0x23, 0x45, 0x67, 0x89, 0x0D}));
  EXPECT_EQ(f[12], 0);
  EXPECT_EQ(Bytes(f.begin() + 13, f.begin() + 17), (Bytes{0xD0, 0x07, 0, 0}));
  ExpectWellFormed(f);
}

TEST(RegisterFrame, DocumentNumberGoesMostSignificantByteFirst) {
  Message m = Make(MessageKind::kDocument, 'i');
  m.document = 258;
  m.day = 7;
  m.month = 12;
  m.hour = 9;
  m.minute = 45;
  const Bytes f = BuildFrame(1, 4, m);
  ASSERT_EQ(f.size(), 14u);
  EXPECT_EQ(Bytes(f.begin() + 5, f.begin() + 13),
            (Bytes{0x00, 0x00, 0x01, 0x02, 0x07, 0x12, 0x09, 0x45}));
  ExpectWellFormed(f);
  m.document = 0x01020304;
  const Bytes g = BuildFrame(1, 4, m);
  EXPECT_EQ(Bytes(g.begin() + 5, g.begin() + 9), (Bytes{1, 2, 3, 4}));
}

TEST(RegisterFrame, IdentificationNothingAndRaw) {
  Message d = Make(MessageKind::kIdentify, 'd');
  d.serial = "1234567";
  d.year = 26;
  const Bytes f = BuildFrame(5, 9, d);
  ASSERT_EQ(f.size(), 17u);
  EXPECT_EQ(f[8], 0x26);
  EXPECT_EQ(std::string(f.begin() + 9, f.begin() + 16), "1234567");
  ExpectWellFormed(f);

  const Bytes n = BuildFrame(5, 0, Make(MessageKind::kNothing, 'f'));
  EXPECT_EQ(n, (Bytes{0x05, 0x30, 0x03, 0x00, 'f', 0x9A}));

  Message raw = Make(MessageKind::kRaw, 0);
  raw.raw = {0x01, 0x02, 0x03};
  EXPECT_EQ(BuildFrame(5, 0, raw), raw.raw);
}

}  // namespace
}  // namespace tillgate::regsim
