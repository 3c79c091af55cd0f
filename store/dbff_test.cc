#include "store/dbff.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <limits>

#include "platform/fault_file_system.h"
#include "platform/local_time.h"
#include "platform/platform.h"
#include "store/report_record.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::FieldDef;
using testing::ScratchDir;

// A DBF written to a scratch folder and opened through a counting file system.
class DbfFileTest : public ::testing::Test {
 protected:
  DbfFileTest() : fs_(&SystemFileSystem()) {}

  File* Put(const DbfImage& image) { return PutBytes(image.Bytes()); }
  File* PutBytes(const std::string& bytes) {
    testing::WriteFile(dir_.File("t.dbf"), bytes);
    EXPECT_EQ(fs_.Open(dir_.File("t.dbf"), OpenMode::kReadWriteOthersRead, &file_), Status::kOk);
    return file_.get();
  }
  std::string Contents() { return testing::ReadFile(dir_.File("t.dbf")); }

  ScratchDir dir_;
  FaultFileSystem fs_;
  std::unique_ptr<File> file_;
  TDBFF dbf_;
};

DbfImage Records(int record_length, int count) {
  // CODE first, then filler up to the record length.
  DbfImage image;
  image.fields = {{"CODE", 'C', 10}, {"FILL", 'C', record_length - 11}};
  for (int i = 1; i <= count; ++i) image.records.push_back({"K" + std::to_string(i), ""});
  return image;
}

TEST_F(DbfFileTest, HeaderSummaryAndFieldPositions) {
  DbfImage image;
  image.fields = {{"CODE", 'N', 5}, {"Name", 'C', 20}, {"PRICE", 'N', 10, 2}};
  image.records = {{"1", "a", "1.00"}};
  File* f = Put(image);
  DbfHeader h;
  ASSERT_TRUE(dbf_.ReadHeader(f, &h));
  EXPECT_EQ(h.record_count, 1u);
  EXPECT_EQ(h.header_length, 32 + 3 * 32 + 1);
  EXPECT_EQ(h.record_length, 36);

  ASSERT_GT(dbf_.LoadHeaderBytes(f), 0);
  const DbfField price = dbf_.FindField("price", false);
  EXPECT_EQ(price.length, 10);
  EXPECT_EQ(price.decimals, 2);
  EXPECT_EQ(price.type, 'N');
  EXPECT_EQ(price.position, 26);
  EXPECT_EQ(dbf_.FindField("CODE", true).position, 1);
  EXPECT_EQ(dbf_.FindField("NAME", true).length, 0);  // exact case: "Name" differs
  EXPECT_EQ(dbf_.FindField("NAME", false).position, 6);
  EXPECT_EQ(dbf_.FindField("RES", false).length, 0);
  EXPECT_EQ(dbf_.DeclaredFieldsLength(), 35);
}

TEST_F(DbfFileTest, DescriptorsPastTheHeaderReadLimitAreAbsent) {
  // 80 fields: descriptors end at byte 32 + 80 * 32 = 2592, beyond 2500.
  DbfImage image;
  for (int i = 0; i < 80; ++i) image.fields.push_back({"F" + std::to_string(i), 'C', 1});
  File* f = Put(image);
  ASSERT_EQ(dbf_.LoadHeaderBytes(f), kHeaderReadLimit);
  // Slot 77 spans bytes 2464..2495, wholly read; slot 78 spans 2496..2527.
  EXPECT_EQ(dbf_.FindField("F76", true).position, 77);
  EXPECT_EQ(dbf_.FindField("F77", true).length, 0);
  EXPECT_EQ(dbf_.FindField("F79", true).length, 0);
}

TEST_F(DbfFileTest, ReportHeaderHasTwelveSlotsAndEveryFieldIsFound) {
  const auto& image = ReportHeaderImage();
  File* f = PutBytes(std::string(reinterpret_cast<const char*>(image.data()), image.size()));
  ASSERT_EQ(dbf_.LoadHeaderBytes(f), kReportHeaderLength);
  EXPECT_EQ((kReportHeaderLength - 34) / 32 + 1, 12);
  const char* names[] = {"BANK", "CHECK", "DATA",   "TIME", "OPERATE", "CODE",
                         "NAME", "PRICE", "QUANTY", "SUM",  "DIVNUM"};
  const int positions[] = {1, 13, 23, 31, 39, 40, 53, 85, 104, 114, 133};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(dbf_.FindField(names[i], true).position, positions[i]);
  EXPECT_EQ(dbf_.FindField("SUM", true).decimals, 2);
  EXPECT_EQ(dbf_.DeclaredFieldsLength(), 133);
}

TEST_F(DbfFileTest, FindRecordOfEmptyFileReadsNoRecord) {
  File* f = Put(Records(134, 0));
  const int reads_before = fs_.Calls(FsOp::kRead);
  char out[300];
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K1", out, sizeof out), -1);
  EXPECT_EQ(fs_.Calls(FsOp::kRead) - reads_before, 1);  // the header only
}

TEST_F(DbfFileTest, FindRecordReadsWholeRecordsPerChunk) {
  struct Case {
    int record_length, per_read;
  };
  for (const Case c : {Case{134, 22}, Case{299, 10}}) {
    SCOPED_TRACE(c.record_length);
    File* f = Put(Records(c.record_length, 45));
    const int before = fs_.Calls(FsOp::kRead);
    char out[300];
    // The last record: the header, then ceil(45 / per_read) chunks.
    ASSERT_EQ(dbf_.FindRecord(f, 1, "K45 ", out, sizeof out), 45);
    EXPECT_EQ(fs_.Calls(FsOp::kRead) - before, 1 + (45 + c.per_read - 1) / c.per_read);
    EXPECT_EQ(std::string(out, 4), "K45 ");
    EXPECT_EQ(static_cast<int>(std::strlen(out)), c.record_length - 1);
    // The records on either side of a chunk boundary, whole and in place.
    for (const int n : {c.per_read, c.per_read + 1, 2 * c.per_read}) {
      const std::string key = "K" + std::to_string(n) + " ";
      ASSERT_EQ(dbf_.FindRecord(f, 1, key, out, sizeof out), n);
      EXPECT_EQ(std::string(out, key.size()), key);
      EXPECT_EQ(static_cast<int>(std::strlen(out)), c.record_length - 1);
    }
  }
}

TEST_F(DbfFileTest, KeyOfFieldWidthMatchesOnlyEqualField) {
  DbfImage image;
  image.fields = {{"CODE", 'C', 5}};
  image.records = {{"12346"}, {"1234"}, {"12345"}};
  File* f = Put(image);
  char out[300];
  EXPECT_EQ(dbf_.FindRecord(f, 1, "12345", out, sizeof out), 3);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "1234 ", out, sizeof out), 2);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "1234", out, sizeof out), 1);     // a prefix: the first
  EXPECT_EQ(dbf_.FindRecord(f, 1, "123456", out, sizeof out), -1);  // past the record's end
  EXPECT_EQ(dbf_.FindRecord(f, 1, "99999", out, sizeof out), -1);
  // With the field's width, a shorter key must fill the field up to spaces.
  EXPECT_EQ(dbf_.FindRecord(f, 1, "1234", out, sizeof out, 5), 2);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "12", out, sizeof out, 5), -1);
}

TEST_F(DbfFileTest, FindRecordSurvivesLyingHeaders) {
  DbfImage image = Records(134, 3);
  image.record_count = 1000000;  // more than the file holds
  File* f = Put(image);
  char out[300];
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K3", out, sizeof out), 3);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K4", out, sizeof out), -1);
  image.record_length = 0;
  f = Put(image);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K1", out, sizeof out), -1);
  image.record_length = 4000;  // above the work buffer
  f = Put(image);
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K1", out, sizeof out), -1);
  // A record that would not fit the caller's buffer is not handed out.
  image.record_length = -1;
  f = Put(image);
  char small[50];
  EXPECT_EQ(dbf_.FindRecord(f, 1, "K1", small, sizeof small), -1);
  EXPECT_EQ(dbf_.FindRecord(nullptr, 1, "K1", out, sizeof out), -1);
}

TEST_F(DbfFileTest, FieldReadAndWriteStayInsideTheRecord) {
  DbfImage image;
  image.fields = {{"CODE", 'C', 4}, {"RES", 'N', 6, 2}};
  image.records = {{"A", "1.00"}, {"B", "2.00"}};
  File* f = Put(image);
  const int rl = image.RecordLength(), hl = image.HeaderLength();
  char out[16];
  ASSERT_TRUE(dbf_.ReadField(f, rl, hl, 2, 5, 6, out));
  EXPECT_STREQ(out, "  2.00");
  ASSERT_TRUE(dbf_.WriteField(f, rl, hl, 2, 5, 6, "  7.50"));
  EXPECT_EQ(Contents().substr(static_cast<size_t>(hl + rl + 5), 6), "  7.50");
  EXPECT_FALSE(dbf_.ReadField(f, rl, hl, 0, 5, 6, out));  // no record 0
  EXPECT_FALSE(dbf_.ReadField(f, rl, hl, 1, 5, 7, out));  // past the record
  EXPECT_FALSE(dbf_.WriteField(f, rl, hl, -1, 5, 6, "xxxxxx"));
  EXPECT_FALSE(dbf_.ReadField(f, rl, hl, 3, 5, 6, out));  // past the file's end
  fs_.FailNth(FsOp::kWrite, 1);
  EXPECT_FALSE(dbf_.WriteField(f, rl, hl, 1, 5, 6, "  1.00"));
}

TEST(FormatNumber, FieldTexts) {
  char out[32];
  ASSERT_TRUE(TDBFF::FormatNumber(12.34, 19, 2, out));
  EXPECT_STREQ(out, "              12.34");
  ASSERT_TRUE(TDBFF::FormatNumber(12.5, 19, 2, out));
  EXPECT_STREQ(out, "              12.50");
  ASSERT_TRUE(TDBFF::FormatNumber(9.7, 10, 3, out));
  EXPECT_STREQ(out, "     9.700");
  ASSERT_TRUE(TDBFF::FormatNumber(7, 5, 0, out));
  EXPECT_STREQ(out, "   7.");
  ASSERT_TRUE(TDBFF::FormatNumber(0.25, 10, 3, out));
  EXPECT_STREQ(out, "     0.250");
  ASSERT_TRUE(TDBFF::FormatNumber(-3.5, 6, 1, out));
  EXPECT_STREQ(out, "  -3.5");
  ASSERT_TRUE(TDBFF::FormatNumber(-0.0001, 6, 2, out));  // rounds to zero: no sign
  EXPECT_STREQ(out, "  0.00");
  ASSERT_TRUE(TDBFF::FormatNumber(0.5, 4, 3, out));  // no room for the integer zero
  EXPECT_STREQ(out, ".500");
}

TEST(FormatNumber, HalvesRoundAwayFromZeroAsWritten) {
  // A value is rounded as its shortest decimal text reads, not as its binary
  // neighbour happens to lie: 1.005 is stored a hair below, 12.345 a hair
  // above, and 0.125 exactly on the half.
  struct Case {
    double value;
    int width, decimals;
    const char* text;
  };
  const Case cases[] = {
      {12.345, 19, 2, "              12.35"},
      {0.0005, 10, 3, "     0.001"},
      {1.005, 10, 2, "      1.01"},
      {2.675, 10, 2, "      2.68"},
      {0.125, 10, 2, "      0.13"},
      {9.995, 10, 2, "     10.00"},
      {2.5, 5, 0, "   3."},
      {-2.675, 10, 2, "     -2.68"},
      {3 - 0.325, 10, 2, "      2.68"},
      {0.0004999, 10, 3, "     0.000"},
      {1.2344999, 10, 3, "     1.234"},
      {99.995, 6, 2, "100.00"},
  };
  char out[32];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(TDBFF::FormatNumber(c.value, c.width, c.decimals, out));
    EXPECT_STREQ(out, c.text);
  }
  // Rounding up may be what makes the integer part too wide.
  EXPECT_FALSE(TDBFF::FormatNumber(99.995, 5, 2, out));
}

TEST(FormatNumber, IntegerPartTooWideIsRefusedNotCut) {
  char out[32];
  EXPECT_TRUE(TDBFF::FormatNumber(999.994, 6, 2, out));
  EXPECT_STREQ(out, "999.99");
  EXPECT_FALSE(TDBFF::FormatNumber(9999.5, 5, 0, out));  // rounds up to 10000
  EXPECT_STREQ(out, "     ");
  EXPECT_FALSE(TDBFF::FormatNumber(-100, 5, 2, out));
  EXPECT_FALSE(TDBFF::FormatNumber(std::numeric_limits<double>::infinity(), 10, 2, out));
  EXPECT_FALSE(TDBFF::FormatNumber(1e300, 19, 2, out));
  EXPECT_FALSE(TDBFF::FormatNumber(1, 3, 3, out));  // no place for the point
}

TEST(CopyBytes, OneBasedStart) {
  char out[8];
  TDBFF::CopyBytes("abcdef", 2, 3, out);
  EXPECT_STREQ(out, "bcd");
}

class AppendTest : public DbfFileTest {
 protected:
  File* PutReport(int records) {
    const auto& image = ReportHeaderImage();
    std::string bytes(reinterpret_cast<const char*>(image.data()), image.size());
    bytes += std::string(static_cast<size_t>(records) * kReportRecordLength, ' ');
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(records >> (8 * i) & 0xFF);
    return PutBytes(bytes);
  }
  std::string record_ = std::string(kReportRecordLength, 'r');
};

TEST_F(AppendTest, CountAndDateFollowTheRecords) {
  File* f = PutReport(255);
  ASSERT_TRUE(dbf_.AppendRecord(f, record_.data()));
  const std::string bytes = Contents();
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kReportHeaderLength + 256 * kReportRecordLength));
  EXPECT_EQ(bytes.substr(4, 4), std::string("\x00\x01\x00\x00", 4));
  const CivilTime local = LocalTime(std::chrono::system_clock::now());
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), local.year - 1900);
  EXPECT_EQ(static_cast<unsigned char>(bytes[2]), local.month);
  EXPECT_EQ(static_cast<unsigned char>(bytes[3]), local.day);
  EXPECT_EQ(bytes.substr(bytes.size() - kReportRecordLength), record_);
}

TEST_F(AppendTest, FailedRecordWriteIsReportedAndTornTailIsOverwritten) {
  File* f = PutReport(2);
  bool written = true;
  fs_.FailNth(FsOp::kWrite, 1, "", 1, Status::kShortTransfer);  // half the record lands
  EXPECT_FALSE(dbf_.AppendRecord(f, record_.data(), &written));
  EXPECT_FALSE(written);
  EXPECT_EQ(Contents().size(), static_cast<size_t>(kReportHeaderLength + 2 * 134 + 67));
  ASSERT_TRUE(dbf_.AppendRecord(f, record_.data(), &written));
  EXPECT_TRUE(written);
  const std::string bytes = Contents();
  EXPECT_EQ(bytes.size(), static_cast<size_t>(kReportHeaderLength + 3 * 134));
  EXPECT_EQ(bytes[4], 3);
}

TEST_F(AppendTest, FailedHeaderUpdateStillSaysTheRecordIsThere) {
  File* f = PutReport(0);
  bool written = false;
  fs_.FailNth(FsOp::kWrite, 2);  // the header stamp
  EXPECT_FALSE(dbf_.AppendRecord(f, record_.data(), &written));
  EXPECT_TRUE(written);
  // The next append counts the records in the file, so the header catches up.
  ASSERT_TRUE(dbf_.AppendRecord(f, record_.data()));
  EXPECT_EQ(Contents()[4], 2);
}

TEST_F(AppendTest, FileShorterThanTheHeaderIsRefused) {
  File* f = PutBytes(std::string(100, '\0'));
  EXPECT_FALSE(dbf_.AppendRecord(f, record_.data()));
  EXPECT_EQ(Contents().size(), 100u);
}

}  // namespace
}  // namespace tillgate
