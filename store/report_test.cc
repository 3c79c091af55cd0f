// Documents closed into the report through the store: only the register's
// own operations, whole, in order, waiting while the report cannot take
// them and following it through hand-overs and restarts.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "store/cp866.h"
#include "store/report_record.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DocumentAt;
using testing::FileExists;
using testing::Operation;
using testing::StoreTest;

std::string HeaderImage() {
  const auto& image = ReportHeaderImage();
  return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

class Report : public StoreTest {
 protected:
  // Commits an operation of register (line, network) to the pending list.
  int Pend(uint32_t line, uint8_t network, const OperationRecord& op) {
    OperationRecord& r = Pool().Current();
    const int index = r.pool_index;
    const int32_t prev = r.prev, next = r.next;
    r = op;
    r.prev = prev;
    r.next = next;
    r.pool_index = index;
    r.line_index = line;
    r.network_number = network;
    Pool().Commit();
    return index;
  }
  std::string ReportBytes() { return testing::ReadFile(Reports("otchet.dbf")); }
};

TEST_F(Report, CloseDocumentReportsOnlyThatRegister) {
  MakeStore();
  const int a1 = Pend(2, 1, Operation("100", "Bread", 12.5, 2, kOpSaleByCode, '1'));
  const int b1 = Pend(2, 3, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  const int a2 =
      Pend(2, 1, Operation("2000", Utf8ToCp866("Сыр").c_str(), 300, 0.25, kOpSaleByBarcode, '3'));
  const int other_line = Pend(5, 1, Operation("77", "Salt", 9.7, 1, kOpSaleByCode, '1'));
  EXPECT_EQ(Close(2, 1, DocumentAt("0001234", 56, 0x24)), 2);
  EXPECT_EQ(Pool().PendingCount(), 2);
  EXPECT_FALSE(Pool().IsPending(a1));
  EXPECT_FALSE(Pool().IsPending(a2));
  EXPECT_TRUE(Pool().IsPending(b1));
  EXPECT_TRUE(Pool().IsPending(other_line));
  EXPECT_EQ(Pool().Head(), b1);

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
  EXPECT_EQ(Probe().ReportRow(), 3);
}

TEST_F(Report, HandOverRenamesAndStartsANewFile) {
  MakeStore();
  Pend(0, 1, Operation("100", "Bread", 12.5, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 1, 0x24));
  Signal(Reports("otchet.exp"));
  const int folder_syncs = fs_.Calls(FsOp::kSyncFolder);
  EXPECT_TRUE(store_->ExchangeReport());
  // The rename reaches the disk before the request is answered, and rows
  // booked into the new file must not go with its name in a power cut.
  EXPECT_EQ(fs_.Calls(FsOp::kSyncFolder), folder_syncs + 2);
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_EQ(events_.Count("handed over"), 1);
  const auto handed = testing::ReadWithDbfread(Reports("otchet2.dbf"));
  ASSERT_TRUE(handed.ok) << handed.error;
  EXPECT_EQ(handed.rows.size(), 1u);
  EXPECT_EQ(ReportBytes(), HeaderImage());
  // The new file takes the next records.
  Pend(0, 1, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  Close(0, 1, DocumentAt("1111111", 2, 0x24));
  EXPECT_EQ(ReportBytes().size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
}

TEST_F(Report, ExistingReportIsContinuedAfterARestart) {
  MakeStore();
  Pend(0, 1, Operation("100", "Bread", 12.5, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 1, 0x24));
  store_.reset();
  MakeStore();
  Pend(0, 1, Operation("12", "Milk", 45.9, 1, kOpSaleByCode, '2'));
  Close(0, 1, DocumentAt("1111111", 2, 0x24));
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
  Close(0, 1, DocumentAt("1111111", 1, 0x24));
  EXPECT_EQ(QueuedRows(), 2);
  EXPECT_EQ(Pool().PendingCount(), 0);
  EXPECT_EQ(views_.report.Cell(6, 1), "First");  // still shown
  EXPECT_EQ(views_.report.Cell(6, 2), "Second");
  EXPECT_EQ(events_.Count("report append failed (No space left on device)"), 1);
  // A newer record waits behind them; the next step that can write takes all.
  Pend(0, 1, Operation("3", "Third", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 2, 0x24));
  EXPECT_EQ(QueuedRows(), 0);
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
  Close(0, 1, DocumentAt("1111111", 1, 0x24));
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  Pend(0, 1, Operation("2", "Waiting", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 2, 0x24));
  EXPECT_FALSE(store_->ExchangeReport() && QueuedRows() == 0);
  EXPECT_EQ(QueuedRows(), 1);
  fs_.Clear();
  Signal(Reports("otchet.exp"));
  ASSERT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(QueuedRows(), 0);
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
  EXPECT_FALSE(Probe().Report().IsOpen());
  EXPECT_FALSE(FileExists(Reports("otchet.dbf")));
  Pend(0, 1, Operation("1", "Kept", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 1, 0x24));  // tries again at once
  EXPECT_EQ(QueuedRows(), 1);
  EXPECT_EQ(events_.Count("report file otchet.dbf cannot be created (Permission denied): rows "
                          "wait until it can"),
            1);
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(QueuedRows(), 0);
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
  EXPECT_EQ(ReportBytes(), HeaderImage());
}

TEST_F(Report, AReportDeletedOrMovedAwayIsStartedAgainWithTheWaitingRowsFirst) {
  MakeStore();
  Pend(0, 1, Operation("1", "Before", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 1, 0x24));
  // The back office moves the report away while the server runs.
  std::filesystem::rename(Reports("otchet.dbf"), Reports("moved.dbf"));
  Pend(0, 1, Operation("2", "Second", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 2, 0x24));
  // The rows went into a new otchet.dbf, none into the file moved away.
  EXPECT_EQ(testing::ReadDbfRecords(Reports("moved.dbf")).size(), 1u);
  auto rows = testing::ReadDbfRecords(Reports("otchet.dbf"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("NAME"), "Second");
  EXPECT_EQ(events_.Count("report file otchet.dbf was deleted or moved away while open"), 1);

  // The whole folder goes: the rows wait, and follow the folder back.
  std::filesystem::remove_all(report_dir_.path());
  Pend(0, 1, Operation("3", "Third", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 3, 0x24));
  Pend(0, 1, Operation("4", "Fourth", 1, 1, kOpSaleByCode, '1'));
  Close(0, 1, DocumentAt("1111111", 4, 0x24));
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(store_->ExchangeReport());
  EXPECT_EQ(QueuedRows(), 2);
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
