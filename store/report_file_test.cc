// The report file alone: created with its header image, opened and set
// right, appended to one whole document at a time, and handed over.

#include "store/report_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::FileExists;

ReportRecordBytes Row(const char* code, const char* name) {
  OperationRecord r;
  std::strcpy(r.goods_code, code);
  std::strcpy(r.name, name);
  r.price = 1;
  r.quantity = 1;
  r.amount = 1;
  r.operation_code = kOpSaleByCode;
  r.section = '1';
  return BuildReportRecord(r, testing::Stamp("1111111", 1, 0x24, 0x03, 0x15));
}

std::string Bytes(const std::vector<ReportRecordBytes>& rows) {
  std::string out;
  for (const ReportRecordBytes& row : rows) out.append(row.data(), row.size());
  return out;
}

std::string HeaderImage() {
  const auto& image = ReportHeaderImage();
  return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

class ReportFileTest : public testing::StoreTest {
 protected:
  // The report file over the report folder, opened or created as a start's
  // first report step does it.
  ReportFile& MakeReport() {
    report_ = std::make_unique<ReportFile>(&fs_, &events_, report_dir_.path());
    report_->OpenOrCreate();
    return *report_;
  }
  // Appends a document that was not written before.
  bool Append(const std::vector<ReportRecordBytes>& rows) {
    bool maybe_written = false;
    return report_->Append(rows, &maybe_written);
  }
  // One report exchange step's hand-over.
  bool HandOverStep() {
    if (!report_->HandOverAsked() || report_->RefuseUncollected()) return false;
    return report_->HandOver(0);
  }
  std::string ReportBytes() { return testing::ReadFile(Reports("otchet.dbf")); }
  uint32_t HeaderCount() {
    const std::string bytes = ReportBytes();
    uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 4, 4);
    return count;
  }

  std::unique_ptr<ReportFile> report_;
};

TEST_F(ReportFileTest, ANewReportFileHoldsTheHeaderImage) {
  ReportFile& report = MakeReport();
  ASSERT_TRUE(report.IsOpen());
  EXPECT_EQ(ReportBytes(), HeaderImage());
  EXPECT_EQ(events_.Count("report file otchet.dbf created"), 1);
  const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.record_count, 0);
  EXPECT_EQ(read.field_names,
            (std::vector<std::string>{"BANK", "CHECK", "DATA", "TIME", "OPERATE", "CODE", "NAME",
                                      "PRICE", "QUANTY", "SUM", "DIVNUM"}));
}

TEST_F(ReportFileTest, DocumentsGoInWholeWithTheirCount) {
  ReportFile& report = MakeReport();
  const std::vector<ReportRecordBytes> first = {Row("1", "First"), Row("2", "Second")};
  const std::vector<ReportRecordBytes> second = {Row("3", "Third")};
  ASSERT_TRUE(Append(first));
  ASSERT_TRUE(Append(second));
  EXPECT_EQ(ReportBytes().substr(kReportHeaderLength), Bytes(first) + Bytes(second));
  // Only the date and the count of the header change.
  EXPECT_EQ(ReportBytes().substr(8, kReportHeaderLength - 8), HeaderImage().substr(8));
  EXPECT_EQ(HeaderCount(), 3u);
  EXPECT_EQ(report.RowsWritten(), 3u);
  // Opened again after a stop, the file goes on where it ended.
  report_.reset();
  MakeReport();
  ASSERT_TRUE(Append(first));
  EXPECT_EQ(HeaderCount(), 5u);
  EXPECT_EQ(events_.Count("report file otchet.dbf opened"), 1);
}

TEST_F(ReportFileTest, AReportFileCutShortInItsCreationIsCompleted) {
  // A stop between creating otchet.dbf and writing its header leaves a file
  // that every append would refuse: the records would only wait in memory.
  for (const size_t kept : {size_t{0}, size_t{200}}) {
    SCOPED_TRACE(kept);
    testing::WriteFile(Reports("otchet.dbf"), HeaderImage().substr(0, kept));
    ASSERT_TRUE(MakeReport().IsOpen());
    ASSERT_TRUE(Append({Row("1", "Kept")}));
    const std::string bytes = ReportBytes();
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
    EXPECT_EQ(bytes.substr(kReportHeaderLength), Bytes({Row("1", "Kept")}));
    report_.reset();
  }
  EXPECT_EQ(events_.Count("completed"), 2);
  // A short file that is not the start of a report is not ours to change.
  testing::WriteFile(Reports("otchet.dbf"), "not a report");
  MakeReport();
  EXPECT_FALSE(Append({Row("1", "Kept")}));
  EXPECT_EQ(ReportBytes(), "not a report");
  EXPECT_EQ(events_.Count("not a report file"), 1);
  EXPECT_EQ(events_.Count("report append failed (Invalid argument)"), 1);
}

TEST_F(ReportFileTest, TheHeaderCountIsSetRightAndATornRecordCutWhenOpened) {
  MakeReport();
  ASSERT_TRUE(Append({Row("1", "First"), Row("2", "Second")}));
  report_.reset();
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
    EXPECT_TRUE(MakeReport().IsOpen());
    EXPECT_EQ(ReportBytes(), whole);
    const auto read = testing::ReadWithDbfread(Reports("otchet.dbf"));
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.record_count, 2);
    report_.reset();
  }
  EXPECT_EQ(events_.Count("its header counted 1 records where 2 are present; the count was set "
                          "right"),
            1);
  EXPECT_EQ(events_.Count("a torn last record (50 bytes) was cut off"), 1);
  EXPECT_EQ(events_.Count("its header counted 9 records"), 1);
  // A report that was right is left as it is.
  MakeReport();
  EXPECT_EQ(events_.Count("otchet.dbf: "), 3);
  report_.reset();
  // Another table under the name is neither cut nor written to, and said
  // once however often it is tried.
  const std::string other = testing::SampleGoods().Bytes() + "xyz";
  testing::WriteFile(Reports("otchet.dbf"), other);
  ReportFile& report = MakeReport();
  EXPECT_FALSE(report.IsOpen());
  EXPECT_FALSE(report.OpenOrCreate());
  EXPECT_FALSE(Append({Row("3", "Third")}));
  EXPECT_EQ(ReportBytes(), other);
  EXPECT_EQ(events_.Count("report file otchet.dbf is not a report file (header length 225, "
                          "record length 79)"),
            1);
  damaged_report_ = true;
}

// A crash between a document's rows and the mark that they are booked can
// leave all of them, or the first few, at the report's end: those are not
// written again.
TEST_F(ReportFileTest, RowsACrashLeftAtTheEndAreNotWrittenAgain) {
  MakeReport();
  const std::vector<ReportRecordBytes> a = {Row("1", "A1"), Row("2", "A2")};
  const std::vector<ReportRecordBytes> b = {Row("3", "B1"), Row("4", "B2")};
  ASSERT_TRUE(Append(a));
  bool maybe_written = true;
  ASSERT_TRUE(report_->Append(a, &maybe_written));  // all of it there
  EXPECT_EQ(HeaderCount(), 2u);
  ASSERT_TRUE(Append({b[0]}));
  maybe_written = true;
  ASSERT_TRUE(report_->Append(b, &maybe_written));  // its first row there
  EXPECT_EQ(ReportBytes().substr(kReportHeaderLength), Bytes(a) + Bytes(b));
  EXPECT_EQ(HeaderCount(), 4u);
  // While the report's end cannot be read, nothing is written: the rows
  // might be there.
  const std::string before = ReportBytes();
  fs_.FailNth(FsOp::kRead, 1, "otchet.dbf");
  maybe_written = true;
  EXPECT_FALSE(report_->Append({Row("5", "C1")}, &maybe_written));
  EXPECT_TRUE(maybe_written);
  EXPECT_EQ(ReportBytes(), before);
  EXPECT_EQ(events_.Count("report append failed (Input/output error)"), 1);
}

// Where the last booked document ended in this very file, only the records
// from there on can be the next one's: alike rows before it are not.
TEST_F(ReportFileTest, RowsAreLookedForOnlyAfterTheLastBookedEndInItsOwnFile) {
  MakeReport();
  EXPECT_EQ(report_->Creations(), 1u);
  EXPECT_TRUE(report_->End().known);
  EXPECT_EQ(report_->End().records, 0u);
  const std::vector<ReportRecordBytes> alike = {Row("1", "Same"), Row("2", "Same too")};
  ASSERT_TRUE(Append(alike));
  const ReportEnd booked = report_->End();
  ASSERT_TRUE(booked.known);
  EXPECT_EQ(booked.records, 2u);
  // Nothing of the second after that end: it is written whole.
  bool maybe_written = true;
  ASSERT_TRUE(report_->Append(alike, &maybe_written, booked));
  EXPECT_EQ(ReportBytes().substr(kReportHeaderLength), Bytes(alike) + Bytes(alike));
  EXPECT_EQ(report_->End().records, 4u);
  // Its first row after the end: only the rest goes in.
  const ReportEnd third = report_->End();
  ASSERT_TRUE(Append({alike[0]}));
  maybe_written = true;
  ASSERT_TRUE(report_->Append(alike, &maybe_written, third));
  EXPECT_EQ(HeaderCount(), 6u);
  // Records after the end that are not its start: it is not there.
  const ReportEnd fourth = report_->End();
  ASSERT_TRUE(Append({Row("9", "Other")}));
  maybe_written = true;
  ASSERT_TRUE(report_->Append(alike, &maybe_written, fourth));
  EXPECT_EQ(HeaderCount(), 9u);
  // Another file's end, or one past the records present, says nothing of
  // this file: the rows that end it are looked for as before.
  for (const ReportEnd& elsewhere :
       {ReportEnd{{booked.file.device, booked.file.inode + 1}, 7, true},
        ReportEnd{booked.file, 10, true}}) {
    maybe_written = true;
    ASSERT_TRUE(report_->Append(alike, &maybe_written, elsewhere));
    EXPECT_EQ(HeaderCount(), 9u);
  }
}

TEST_F(ReportFileTest, AFailedAppendLeavesNoneOfTheDocumentAndIsSaidOnce) {
  ReportFile& report = MakeReport();
  ASSERT_TRUE(Append({Row("1", "Before")}));
  const std::string before = ReportBytes();
  const std::vector<ReportRecordBytes> document = {Row("2", "Lost"), Row("3", "Lost")};
  // The rows' write fails, then the header count's.
  fs_.FailNth(FsOp::kWrite, 1, "otchet.dbf", 1, Status::kNoSpace);
  bool maybe_written = false;
  EXPECT_FALSE(report.Append(document, &maybe_written));
  EXPECT_FALSE(maybe_written);
  EXPECT_EQ(ReportBytes().size(), before.size());
  fs_.FailNth(FsOp::kWrite, 2, "otchet.dbf", 1, Status::kNoSpace);
  EXPECT_FALSE(report.Append(document, &maybe_written));
  EXPECT_FALSE(maybe_written);
  EXPECT_EQ(ReportBytes().size(), before.size());
  EXPECT_EQ(HeaderCount(), 1u);
  EXPECT_EQ(events_.Count("report append failed (No space left on device)"), 1);
  EXPECT_EQ(report.RowsWritten(), 1u);
  ASSERT_TRUE(report.Append(document, &maybe_written));
  report.AppendsRecovered(2);
  report.AppendsRecovered(2);  // said once
  EXPECT_EQ(events_.Count("report append recovered: 2 row(s) written to otchet.dbf, those that "
                          "waited first"),
            1);
  EXPECT_EQ(HeaderCount(), 3u);
}

TEST_F(ReportFileTest, AFileThatLostItsNameIsLetGo) {
  ReportFile& report = MakeReport();
  EXPECT_TRUE(report.StillNamed());
  std::filesystem::rename(Reports("otchet.dbf"), Reports("moved.dbf"));
  EXPECT_FALSE(report.StillNamed());
  EXPECT_FALSE(report.IsOpen());
  EXPECT_EQ(events_.Count("report file otchet.dbf was deleted or moved away while open"), 1);
  ASSERT_TRUE(report.OpenOrCreate());  // a new one
  std::filesystem::rename(Reports("moved.dbf"), Reports("otchet.dbf"));
  EXPECT_FALSE(Append({Row("1", "Nowhere")}));  // the file held is not otchet.dbf any more
  EXPECT_EQ(events_.Count("report file otchet.dbf was replaced by another file while open"), 1);
  EXPECT_EQ(ReportBytes(), HeaderImage());
}

TEST_F(ReportFileTest, AHandOverRenamesAndStartsANewFile) {
  ReportFile& report = MakeReport();
  ASSERT_TRUE(Append({Row("1", "Handed")}));
  Signal(Reports("otchet.exp"));
  fs_.StartLog();
  EXPECT_TRUE(HandOverStep());
  // The rename reaches the disk before the request is answered (a power cut
  // between them would hand the same rows over again), and rows booked into
  // the new file must not go with its name in a power cut.
  std::vector<std::string> steps;
  for (const auto& [op, path] : fs_.Log()) {
    if (op == FsOp::kRename || op == FsOp::kSyncFolder || op == FsOp::kUnlink ||
        op == FsOp::kCreate)
      steps.push_back(std::to_string(static_cast<int>(op)) + " " +
                      path.substr(path.find_last_of('/') + 1));
  }
  const auto step = [](FsOp op, const std::string& name) {
    return std::to_string(static_cast<int>(op)) + " " + name;
  };
  const std::string folder = report_dir_.path().substr(report_dir_.path().find_last_of('/') + 1);
  EXPECT_EQ(steps, (std::vector<std::string>{
                       step(FsOp::kRename, "otchet.dbf"), step(FsOp::kSyncFolder, folder),
                       step(FsOp::kUnlink, "otchet.exp"), step(FsOp::kCreate, "otchet.dbf"),
                       step(FsOp::kSyncFolder, folder)}));
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_TRUE(report.IsOpen());
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet2.dbf")).size(), 1u);
  EXPECT_EQ(ReportBytes(), HeaderImage());
  EXPECT_EQ(events_.Count("report handed over as otchet2.dbf"), 1);
  // Rows still waiting are said to go into the new file; with no otchet.dbf
  // there is nothing to hand over, and a new one is started all the same.
  std::filesystem::remove(Reports("otchet2.dbf"));
  report_.reset();
  std::filesystem::remove(Reports("otchet.dbf"));
  report_ = std::make_unique<ReportFile>(&fs_, &events_, report_dir_.path());
  Signal(Reports("otchet.exp"));
  EXPECT_TRUE(report_->HandOver(3));
  EXPECT_EQ(events_.Count("report hand-over: no otchet.dbf to hand over"), 1);
  EXPECT_EQ(events_.Count("report hand-over: 3 record(s) still waiting go into the new "
                          "otchet.dbf"),
            1);
  EXPECT_EQ(ReportBytes(), HeaderImage());
}

// A report file another server holds open (and writes rows into that it
// has answered "o" for) is never renamed away from under it.
TEST_F(ReportFileTest, OnlyTheHolderHandsTheReportOver) {
  ReportFile& holder = MakeReport();
  ASSERT_TRUE(Append({Row("1", "Theirs")}));
  ReportFile other(&fs_, &events_, report_dir_.path());
  EXPECT_FALSE(other.OpenOrCreate());
  Signal(Reports("otchet.exp"));
  EXPECT_FALSE(other.HandOver(0));
  EXPECT_FALSE(other.HandOver(0));
  EXPECT_EQ(events_.Count("report hand-over not done: otchet.dbf is held open by another "
                          "program; tried again at every step"),
            1);
  EXPECT_FALSE(FileExists(Reports("otchet2.dbf")));
  EXPECT_TRUE(FileExists(Reports("otchet.exp")));
  ASSERT_TRUE(Append({Row("2", "Still theirs")}));
  EXPECT_TRUE(HandOverStep());
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet2.dbf")).size(), 2u);
  EXPECT_TRUE(holder.IsOpen());
}

TEST_F(ReportFileTest, AHandOverThatCannotRenameSaysWhyOnceAndIsTriedAgain) {
  ReportFile& report = MakeReport();
  fs_.FailNth(FsOp::kRename, 1, "otchet.dbf", 2, Status(Status::kDenied));
  Signal(Reports("otchet.exp"));
  EXPECT_FALSE(HandOverStep());
  EXPECT_FALSE(HandOverStep());
  EXPECT_TRUE(FileExists(Reports("otchet.exp")));
  EXPECT_FALSE(FileExists(Reports("otchet2.dbf")));
  EXPECT_EQ(events_.Count("report hand-over failed: otchet.dbf cannot be renamed to otchet2.dbf "
                          "(Permission denied); tried again at every step"),
            1);
  // Rows go on into otchet.dbf meanwhile.
  EXPECT_TRUE(report.IsOpen());
  ASSERT_TRUE(Append({Row("1", "Kept")}));
  EXPECT_TRUE(HandOverStep());
  EXPECT_FALSE(FileExists(Reports("otchet.exp")));
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet2.dbf")).size(), 1u);
  CollectedEvent done;
  ASSERT_TRUE(events_.Find("report handed over as otchet2.dbf", &done));
  EXPECT_TRUE(done.cleared);
}

TEST_F(ReportFileTest, AHandOverIsRefusedWhileOtchet2Waits) {
  ReportFile& report = MakeReport();
  ASSERT_TRUE(Append({Row("1", "Stays")}));
  testing::WriteFile(Reports("otchet2.dbf"), "previous");
  Signal(Reports("otchet.exp"));
  EXPECT_TRUE(report.HandOverAsked());
  EXPECT_TRUE(report.RefuseUncollected());
  EXPECT_FALSE(report.HandOverAsked());  // the request is dropped, not deferred
  EXPECT_EQ(testing::ReadFile(Reports("otchet2.dbf")), "previous");
  EXPECT_EQ(ReportBytes().size(), static_cast<size_t>(kReportHeaderLength + kReportRecordLength));
  EXPECT_TRUE(report.IsOpen());
  EXPECT_EQ(events_.Count("report hand-over refused: otchet2.dbf has not been collected"), 1);
}

}  // namespace
}  // namespace tillgate
