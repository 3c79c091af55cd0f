#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "store/cp866.h"
#include "store/report_record.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::FileExists;
using testing::SampleGoods;
using testing::StoreTest;

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

DocumentStamp Stamp(const char* serial, uint32_t document, uint8_t year) {
  DocumentStamp stamp = testing::Stamp(serial, document, year, 0x03, 0x15);
  stamp.hour = 0x09;
  stamp.minute = 0x41;
  return stamp;
}

OperationRecord Operation(const char* code, const char* name, double price, double quantity,
                          char op, char section) {
  OperationRecord r;
  std::strcpy(r.goods_code, code);
  std::strcpy(r.name, name);
  r.price = price;
  r.quantity = quantity;
  r.amount = price * quantity;
  r.operation_code = op;
  r.section = section;
  return r;
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
  EXPECT_EQ(ReportDate(Stamp("1", 1, 0x98)), "19980315");
  EXPECT_EQ(ReportDate(Stamp("1", 1, 0x24)), "20240315");
  EXPECT_EQ(ReportTime(Stamp("1", 1, 0x24)), "09:41:00");
}

TEST(ReportRecord, FieldsCutPaddedAndZeroBytesReplaced) {
  const OperationRecord r =
      Operation("1234567890123", "Twenty chars name 20", 12.34, 1.5, kOpSaleByCode, '3');
  const ReportRecordBytes rec = BuildReportRecord(r, Stamp("7654321", 4711, 0x24));
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
  const ReportRecordBytes high = BuildReportRecord(r, Stamp("1", 0xFFFFFFFF, 0x24));
  EXPECT_EQ(std::string(high.data() + 13, 10), "-1        ");
  // Eleven characters as a signed number would be cut to another number;
  // such a number is written as the register sent it, which always fits.
  for (const uint32_t sent : {0x80000000u, 0xC4653600u}) {
    const ReportRecordBytes cut = BuildReportRecord(r, Stamp("1", sent, 0x24));
    EXPECT_EQ(std::string(cut.data() + 13, 10), std::to_string(sent));
    EXPECT_EQ(DocumentNumberText(Stamp("1", sent, 0x24)), std::to_string(sent));
  }
  EXPECT_EQ(DocumentNumberText(Stamp("1", 0xC4653601u, 0x24)), "-999999999");
}

class Report : public StoreTest {
 protected:
  // Commits an operation of register (line, network) to the pending list.
  int Pend(uint32_t line, uint8_t network, const OperationRecord& op) {
    OperationRecord& r = store_->Current();
    const int index = r.pool_index;
    const int32_t prev = r.prev, next = r.next;
    r = op;
    r.prev = prev;
    r.next = next;
    r.pool_index = index;
    r.line_index = line;
    r.network_number = network;
    store_->Commit();
    return index;
  }
  std::string ReportBytes() { return testing::ReadFile(Reports("otchet.dbf")); }
};

TEST_F(Report, NewReportFileHoldsTheHeaderImage) {
  MakeStore();
  ASSERT_TRUE(store_->ReportOpen());
  EXPECT_EQ(ReportBytes(), FromHex(kHeaderHex));
  const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.record_count, 0);
  EXPECT_EQ(read.field_names,
            (std::vector<std::string>{"BANK", "CHECK", "DATA", "TIME", "OPERATE", "CODE", "NAME",
                                      "PRICE", "QUANTY", "SUM", "DIVNUM"}));
}

TEST_F(Report, CloseDocumentReportsOnlyThatRegister) {
  MakeStore();
  const int a1 = Pend(2, 1, Operation("100", "Bread", 12.5, 2, kOpSaleByCode, '1'));
  const int b1 = Pend(2, 3, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  const int a2 =
      Pend(2, 1, Operation("2000", Utf8ToCp866("Сыр").c_str(), 300, 0.25, kOpSaleByBarcode, '3'));
  const int other_line = Pend(5, 1, Operation("77", "Salt", 9.7, 1, kOpSaleByCode, '1'));
  EXPECT_EQ(store_->CloseDocument(2, 1, Stamp("0001234", 56, 0x24)), 2);
  EXPECT_EQ(store_->PendingCount(), 2);
  EXPECT_FALSE(store_->IsPending(a1));
  EXPECT_FALSE(store_->IsPending(a2));
  EXPECT_TRUE(store_->IsPending(b1));
  EXPECT_TRUE(store_->IsPending(other_line));
  EXPECT_EQ(store_->Head(), b1);

  const std::string bytes = ReportBytes();
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kReportHeaderLength + 2 * kReportRecordLength));
  EXPECT_EQ(bytes[4], 2);
  const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.record_count, 2);
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[0], "0001234|56|2024-03-15|09:41:00|1|100|Bread|12.5|2.0|25.0|1");
  EXPECT_EQ(read.rows[1], "0001234|56|2024-03-15|09:41:00|2|2000|Сыр|300.0|0.25|75.0|3");

  // The report view shows both, in order.
  EXPECT_EQ(views_.report.Cell(0, 1), "0001234");
  EXPECT_EQ(views_.report.Cell(5, 1), "100");
  EXPECT_EQ(views_.report.Cell(7, 1), "12.5");
  EXPECT_EQ(views_.report.Cell(8, 2), "0.25");
  EXPECT_EQ(views_.report.Cell(9, 2), "75");
  EXPECT_EQ(views_.report.Cell(2, 2), "20240315");
  EXPECT_EQ(views_.report.Cell(3, 2), "09:41:00");
  EXPECT_EQ(store_->ReportRow(), 3);
}

TEST_F(Report, ReportRowsWrapAfterRow99) {
  MakeStore();
  const DocumentStamp stamp = Stamp("1", 1, 0x24);
  for (int i = 1; i <= 100; ++i) {
    OperationRecord r = Operation(std::to_string(i).c_str(), "x", 1, 1, kOpSaleByCode, '1');
    store_->ShowReportRow(r, stamp);
  }
  EXPECT_EQ(views_.report.Cell(5, 1), "100");
  EXPECT_EQ(views_.report.Cell(5, 99), "99");
  EXPECT_EQ(store_->ReportRow(), 2);
}

TEST_F(Report, VoidCoveredByTheRegistersOwnSales) {
  MakeStore();
  Pend(0, 1, Operation("12", "Milk", 1, 1, kOpSaleByCode, '2'));
  Pend(0, 1, Operation("12", "Milk", 1, 1, kOpSaleByBarcode, '2'));
  Pend(0, 2, Operation("12", "Milk", 1, 5, kOpSaleByCode, '2'));   // other register
  Pend(1, 1, Operation("12", "Milk", 1, 5, kOpSaleByCode, '2'));   // other line
  Pend(0, 1, Operation("12", "Milk", 1, 5, kOpSaleByCode, '9'));   // other section
  Pend(0, 1, Operation("123", "Milk", 1, 5, kOpSaleByCode, '2'));  // other code
  OperationRecord v = Operation("12", "Milk", 1, 2, kOpVoid, '2');
  v.network_number = 1;
  EXPECT_TRUE(store_->CheckVoid(v));
  Pend(0, 1, Operation("12", "Milk", 1, 1, kOpReturn, '2'));
  EXPECT_FALSE(store_->CheckVoid(v));
  // Weights that sum to the void up to the last bit are covered.
  MakeStore();
  Pend(0, 1, Operation("7", "Cheese", 1, 0.1, kOpSaleByCode, '1'));
  Pend(0, 1, Operation("7", "Cheese", 1, 0.2, kOpSaleByCode, '1'));
  OperationRecord w = Operation("7", "Cheese", 1, 0.3, kOpVoid, '1');
  w.network_number = 1;
  EXPECT_TRUE(store_->CheckVoid(w));
  w.quantity = 0.301;
  EXPECT_FALSE(store_->CheckVoid(w));
}

TEST_F(Report, HandOverRenamesAndStartsANewFile) {
  MakeStore();
  Pend(0, 1, Operation("100", "Bread", 12.5, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  Signal(Reports("otchet.exp"));
  const int folder_syncs = fs_.Calls(FsOp::kSyncFolder);
  EXPECT_TRUE(store_->ExchangeReport());
  // Rows booked into the new file must not go with its name in a power cut.
  EXPECT_EQ(fs_.Calls(FsOp::kSyncFolder), folder_syncs + 1);
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_EQ(events_.Count("handed over"), 1);
  const auto handed = testing::ReadWithDbfread(Reports("otchet2.dbf"));
  ASSERT_TRUE(handed.ok) << handed.error;
  EXPECT_EQ(handed.rows.size(), 1u);
  EXPECT_EQ(ReportBytes(), FromHex(kHeaderHex));
  // The new file takes the next records.
  Pend(0, 1, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  EXPECT_EQ(ReportBytes().size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
}

TEST_F(Report, AHandOverThatCannotRenameSaysWhyOnceAndIsTriedAgain) {
  MakeStore();
  fs_.FailNth(FsOp::kRename, 1, "otchet.dbf", 2, Status(Status::kDenied));
  Signal(Reports("otchet.exp"));
  store_->ExchangeReport();
  store_->ExchangeReport();
  EXPECT_TRUE(FileExists(Reports("otchet.exp")));
  EXPECT_FALSE(FileExists(Reports("otchet2.dbf")));
  EXPECT_EQ(events_.Count("report hand-over failed: otchet.dbf cannot be renamed to otchet2.dbf "
                          "(Permission denied); tried again at every step"),
            1);
  // Rows go on into otchet.dbf meanwhile.
  Pend(0, 1, Operation("1", "Kept", 1, 1, kOpSaleByCode, '1'));
  EXPECT_EQ(store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24)), 1);
  EXPECT_EQ(store_->QueuedReportRecords(), 0);
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet2.dbf")).size(), 1u);
  CollectedEvent done;
  ASSERT_TRUE(events_.Find("report handed over as otchet2.dbf", &done));
  EXPECT_TRUE(done.cleared);
}

TEST_F(Report, HandOverRefusedWhileOtchet2Waits) {
  MakeStore();
  Pend(0, 1, Operation("100", "Bread", 12.5, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  testing::WriteFile(Reports("otchet2.dbf"), "previous");
  Signal(Reports("otchet.exp"));
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_EQ(testing::ReadFile(Reports("otchet2.dbf")), "previous");
  EXPECT_EQ(ReportBytes().size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
  EXPECT_TRUE(store_->ReportOpen());
}

TEST_F(Report, ExistingReportIsContinuedAfterARestart) {
  MakeStore();
  Pend(0, 1, Operation("100", "Bread", 12.5, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  store_.reset();
  MakeStore();
  Pend(0, 1, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[1].substr(0, 10), "1111111|2|");
}

TEST_F(Report, FailedAppendIsQueuedAndWrittenFirstInOrder) {
  MakeStore();
  fs_.FailNth(FsOp::kWrite, 1, "otchet.dbf", 2, Status::kNoSpace);
  Pend(0, 1, Operation("1", "First", 1, 1, kOpSaleByCode, '1'));
  Pend(0, 1, Operation("2", "Second", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  EXPECT_EQ(store_->QueuedReportRecords(), 2);
  EXPECT_EQ(store_->PendingCount(), 0);
  EXPECT_EQ(views_.report.Cell(6, 1), "First");  // still shown
  EXPECT_EQ(views_.report.Cell(6, 2), "Second");
  EXPECT_EQ(events_.Count("report append failed (No space left on device)"), 1);
  // A newer record waits behind them; the next step that can write takes all.
  Pend(0, 1, Operation("3", "Third", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  EXPECT_EQ(store_->QueuedReportRecords(), 0);
  EXPECT_EQ(events_.Count("recovered"), 1);
  const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.rows.size(), 3u);
  EXPECT_NE(read.rows[0].find("|First|"), std::string::npos);
  EXPECT_NE(read.rows[1].find("|Second|"), std::string::npos);
  EXPECT_NE(read.rows[2].find("|Third|"), std::string::npos);
}

TEST_F(Report, QueuedRecordsGoIntoTheNewFileAtAHandOver) {
  MakeStore();
  Pend(0, 1, Operation("1", "Old", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  Pend(0, 1, Operation("2", "Waiting", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  EXPECT_FALSE(store_->ExchangeReport() && store_->QueuedReportRecords() == 0);
  EXPECT_EQ(store_->QueuedReportRecords(), 1);
  fs_.Clear();
  Signal(Reports("otchet.exp"));
  ASSERT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(store_->QueuedReportRecords(), 0);
  const auto handed = testing::ReadWithDbfread(Reports("otchet2.dbf"));
  const auto fresh = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(handed.ok && fresh.ok) << handed.error << fresh.error;
  ASSERT_EQ(handed.rows.size(), 1u);
  EXPECT_NE(handed.rows[0].find("|Old|"), std::string::npos);
  ASSERT_EQ(fresh.rows.size(), 1u);
  EXPECT_NE(fresh.rows[0].find("|Waiting|"), std::string::npos);
  // Whoever collects otchet2.dbf learns that a record it lacks comes later.
  EXPECT_EQ(events_.Count("1 record(s) still waiting go into the new otchet.dbf"), 1);
}

TEST_F(Report, ReportFileThatCannotBeCreatedIsRetried) {
  fs_.FailNth(FsOp::kCreate, 1, "otchet.dbf", 2, Status(Status::kDenied));
  MakeStore();
  EXPECT_FALSE(store_->ReportOpen());
  EXPECT_FALSE(FileExists(Reports("otchet.dbf")));
  Pend(0, 1, Operation("1", "Kept", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));  // tries again at once
  EXPECT_EQ(store_->QueuedReportRecords(), 1);
  EXPECT_EQ(events_.Count("report file otchet.dbf cannot be created (Permission denied): rows "
                          "wait until it can"),
            1);
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(store_->QueuedReportRecords(), 0);
  EXPECT_EQ(ReportBytes().size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
  // A header that cannot be written leaves no file behind, and says why.
  fs_.FailNth(FsOp::kWrite, 1, "otchet.dbf", 1, Status(Status::kNoSpace));
  Signal(Reports("otchet.exp"));
  EXPECT_FALSE(store_->ExchangeReport());
  EXPECT_TRUE(FileExists(Reports("otchet2.dbf")));
  EXPECT_FALSE(FileExists(Reports("otchet.dbf")));
  EXPECT_EQ(events_.Count("report file otchet.dbf cannot be created (No space left on device): "
                          "rows wait until it can"),
            1);
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(ReportBytes(), FromHex(kHeaderHex));
}

TEST_F(Report, ReportFileCutShortInItsCreationIsCompleted) {
  // A stop between creating otchet.dbf and writing its header leaves a file
  // that every append refuses: the records would only wait in memory.
  const std::string image = FromHex(kHeaderHex);
  for (const size_t kept : {size_t{0}, size_t{200}}) {
    SCOPED_TRACE(kept);
    testing::WriteFile(Reports("otchet.dbf"), image.substr(0, kept));
    MakeStore();
    ASSERT_TRUE(store_->ReportOpen());
    Pend(0, 1, Operation("1", "Kept", 1, 1, kOpSaleByCode, '1'));
    store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
    EXPECT_EQ(store_->QueuedReportRecords(), 0);
    const std::string bytes = ReportBytes();
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
    EXPECT_EQ(bytes.substr(kReportHeaderLength),
              std::string(BuildReportRecord(store_->Record(0), Stamp("1111111", 1, 0x24)).data(),
                          kReportRecordLength));
    store_.reset();
  }
  EXPECT_EQ(events_.Count("completed"), 2);
  // A short file that is not the start of a report is not ours to change.
  testing::WriteFile(Reports("otchet.dbf"), "not a report");
  MakeStore();
  Pend(0, 1, Operation("1", "Kept", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  EXPECT_EQ(ReportBytes(), "not a report");
  EXPECT_EQ(store_->QueuedReportRecords(), 1);
  EXPECT_EQ(events_.Count("not a report file"), 1);
}

TEST_F(Report, HeaderCountIsSetRightAndATornRecordCutWhenOpened) {
  MakeStore();
  Pend(0, 1, Operation("1", "First", 1, 1, kOpSaleByCode, '1'));
  Pend(0, 1, Operation("2", "Second", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  store_.reset();
  const std::string whole = ReportBytes();
  // A stop between a record and its header update: the count is one short.
  std::string short_count = whole;
  short_count[4] = 1;
  // A stop inside the next record: 50 bytes of it.
  const std::string torn = whole + std::string(50, 'x');
  // A count beyond the records present.
  std::string long_count = whole;
  long_count[4] = 9;
  for (const std::string& bytes : {short_count, torn, long_count}) {
    testing::WriteFile(Reports("otchet.dbf"), bytes);
    MakeStore();
    EXPECT_EQ(ReportBytes(), whole);
    const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.record_count, 2);
    store_.reset();
  }
  EXPECT_EQ(events_.Count("its header counted 1 records where 2 are present; the count was set "
                          "right"),
            1);
  EXPECT_EQ(events_.Count("a torn last record (50 bytes) was cut off"), 1);
  EXPECT_EQ(events_.Count("its header counted 9 records"), 1);
  // A report that was right is left as it is.
  MakeStore();
  EXPECT_EQ(events_.Count("otchet.dbf: "), 3);
  store_.reset();
  // Another table under the name is neither cut nor written to.
  DbfImage other = SampleGoods();
  testing::WriteFile(Reports("otchet.dbf"), other.Bytes() + "xyz");
  MakeStore();
  EXPECT_FALSE(store_->ReportOpen());
  Pend(0, 1, Operation("3", "Third", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  EXPECT_EQ(ReportBytes(), other.Bytes() + "xyz");
  EXPECT_EQ(store_->QueuedReportRecords(), 1);
  EXPECT_EQ(events_.Count("report file otchet.dbf is not a report file (header length 225, "
                          "record length 79)"),
            1);
  damaged_report_ = true;
}

TEST_F(Report, AReportDeletedOrMovedAwayIsStartedAgainWithTheWaitingRowsFirst) {
  MakeStore();
  Pend(0, 1, Operation("1", "Before", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 1, 0x24));
  // The back office moves the report away while the server runs.
  std::filesystem::rename(Reports("otchet.dbf"), Reports("moved.dbf"));
  Pend(0, 1, Operation("2", "Second", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 2, 0x24));
  // The rows went into a new otchet.dbf, none into the file moved away.
  EXPECT_EQ(testing::ReadDbfRecords(Reports("moved.dbf")).size(), 1u);
  auto rows = testing::ReadDbfRecords(Reports("otchet.dbf"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("NAME"), "Second");
  EXPECT_EQ(events_.Count("report file otchet.dbf was deleted or moved away while open"), 1);

  // The whole folder goes: the rows wait, and follow the folder back.
  std::filesystem::remove_all(report_dir_.path());
  Pend(0, 1, Operation("3", "Third", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 3, 0x24));
  Pend(0, 1, Operation("4", "Fourth", 1, 1, kOpSaleByCode, '1'));
  store_->CloseDocument(0, 1, Stamp("1111111", 4, 0x24));
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(store_->ExchangeReport());
  EXPECT_EQ(store_->QueuedReportRecords(), 2);
  EXPECT_EQ(events_.Count("deleted or moved away"), 2);  // once for each file lost
  EXPECT_EQ(events_.Count("cannot be created"), 0);      // said already
  std::filesystem::create_directory(report_dir_.path());
  EXPECT_TRUE(store_->ExchangeReport());
  rows = testing::ReadDbfRecords(Reports("otchet.dbf"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("NAME"), "Third");
  EXPECT_EQ(rows[1].at("NAME"), "Fourth");
  EXPECT_EQ(events_.Count("report file otchet.dbf created"), 3);
  EXPECT_EQ(events_.Count("report append failed"), 0);
}

}  // namespace
}  // namespace tillgate
