// The report file's header image and the record built for one operation of
// a closed document, byte for byte.

#include "store/report_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DocumentAt;
using testing::Operation;
// The header image, as the format's reference header gives it.
constexpr const char* kHeaderHex =
    "03 62 09 0E 00 00 00 00 82 01 86 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 "
    "42 41 4E 4B 00 00 EA 5F E0 5F A7 43 BC 1F 00 00 0C 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "43 48 45 43 4B 00 EA 5F E0 5F A7 43 BC 1F 00 00 0A 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "44 41 54 41 00 00 EA 5F E0 5F A7 44 BC 1F 00 00 08 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "54 49 4D 45 00 00 EA 5F E0 5F A7 43 BC 1F 00 00 08 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "4F 50 45 52 41 54 45 00 E0 5F A7 43 BC 1F 00 00 01 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "43 4F 44 45 00 54 45 00 E0 5F A7 43 BC 1F 00 00 0D 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "4E 41 4D 45 00 44 45 00 E0 5F A7 43 BC 1F 00 00 20 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "50 52 49 43 45 00 45 00 E0 5F A7 4E BC 1F 00 00 13 02 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "51 55 41 4E 54 59 00 00 E0 5F A7 4E BC 1F 00 00 0A 03 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "53 55 4D 00 00 00 00 00 E0 5F A7 4E BC 1F 00 00 13 02 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "44 49 56 4E 55 4D 00 00 E0 5F A7 43 BC 1F 00 00 01 00 07 00 07 00 C8 66 EA 5F B4 21 DD 55 07 "
    "00 "
    "0D 00";

std::string FromHex(const char* hex) {
  std::string out;
  for (const char* p = hex; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    out += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    p += 2;
  }
  return out;
}

TEST(ReportRecord, HeaderImageByteForByte) {
  const auto& image = ReportHeaderImage();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()), image.size()),
            FromHex(kHeaderHex));
}

TEST(ReportRecord, CenturyFromTheRegisterYear) {
  EXPECT_STREQ(CenturyFor(0x00), "20");
  EXPECT_STREQ(CenturyFor(0x24), "20");
  EXPECT_STREQ(CenturyFor(0x79), "20");
  EXPECT_STREQ(CenturyFor(0x80), "19");
  EXPECT_STREQ(CenturyFor(0x99), "19");
  EXPECT_EQ(ReportDate(DocumentAt("1", 1, 0x98)), "19980315");
  EXPECT_EQ(ReportDate(DocumentAt("1", 1, 0x24)), "20240315");
  EXPECT_EQ(ReportTime(DocumentAt("1", 1, 0x24)), "09:41:00");
}

TEST(ReportRecord, FieldsCutPaddedAndZeroBytesReplaced) {
  const OperationRecord r =
      Operation("1234567890123", "Twenty chars name 20", 12.34, 1.5, kOpSaleByCode, '3');
  const ReportRecordBytes rec = BuildReportRecord(r, DocumentAt("7654321", 4711, 0x24));
  const std::string s(rec.data(), rec.size());
  EXPECT_EQ(s.substr(0, 1), " ");
  EXPECT_EQ(s.substr(1, 12), "7654321     ");
  EXPECT_EQ(s.substr(13, 10), "4711      ");
  EXPECT_EQ(s.substr(23, 8), "20240315");
  EXPECT_EQ(s.substr(31, 8), "09:41:00");
  EXPECT_EQ(s.substr(39, 1), "1");
  EXPECT_EQ(s.substr(40, 13), "1234567890123");
  EXPECT_EQ(s.substr(53, 32), "Twenty chars name 20            ");
  EXPECT_EQ(s.substr(85, 19), "              12.34");
  EXPECT_EQ(s.substr(104, 10), "     1.500");
  EXPECT_EQ(s.substr(114, 19), "              18.51");
  EXPECT_EQ(s.substr(133, 1), "3");

  // No serial number yet and a zero section: zero bytes become 'J'.
  OperationRecord zero = r;
  zero.section = 0;
  const ReportRecordBytes bare = BuildReportRecord(zero, DocumentStamp{});
  const std::string b(bare.data(), bare.size());
  EXPECT_EQ(b.substr(1, 12), "JJJJJJJ     ");
  EXPECT_EQ(b.substr(133, 1), "J");
  EXPECT_EQ(b.substr(23, 8), "20000000");
  // A document number beyond 31 bits is shown as the signed number it is.
  const ReportRecordBytes high = BuildReportRecord(r, DocumentAt("1", 0xFFFFFFFF, 0x24));
  EXPECT_EQ(std::string(high.data() + 13, 10), "-1        ");
  // Eleven characters as a signed number would be cut to another number;
  // such a number is written as the register sent it, which always fits.
  for (const uint32_t sent : {0x80000000u, 0xC4653600u}) {
    const ReportRecordBytes cut = BuildReportRecord(r, DocumentAt("1", sent, 0x24));
    EXPECT_EQ(std::string(cut.data() + 13, 10), std::to_string(sent));
    EXPECT_EQ(DocumentNumberText(DocumentAt("1", sent, 0x24)), std::to_string(sent));
  }
  EXPECT_EQ(DocumentNumberText(DocumentAt("1", 0xC4653601u, 0x24)), "-999999999");
}

}  // namespace
}  // namespace tillgate
