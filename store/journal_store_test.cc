// The store with its journal across stops and starts: what it restores,
// what it says, and what it does with a journal it cannot use.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::Request;
using testing::StoreTest;

// A close of a register that identified before the store started (the
// store knows no serial number of it).
DocumentStamp Stamp(uint32_t document) { return testing::Stamp("", document, 0x26, 0x03, 0x15); }

class JournaledStore : public StoreTest {
 protected:
  void SetUp() override { PutGoods("tovars.dbf", testing::TwoGoods("100.000")); }
  std::vector<std::string> ReportNames() {
    std::vector<std::string> names;
    for (const auto& r : testing::ReadDbfRecords(Reports("otchet.dbf")))
      names.push_back(r.at("CHECK") + " " + r.at("NAME") + " " + r.at("QUANTY"));
    return names;
  }
};

TEST_F(JournaledStore, OpenDocumentsAndRegisterStatesComeBackAfterAStop) {
  MakeJournaledStore(true);
  EXPECT_TRUE(events_.Has("journal " + State("journal") +
                          ": 0 open operation(s) and 0 waiting row(s) restored"));
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 1, "100", 2)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 2, "300", 1)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(5, 1, 1, "100", 3)).Served());
  EXPECT_EQ(Stock(1), 95);
  store_.reset();
  EXPECT_TRUE(events_.Has("stop: the journal keeps 3 open operation(s) and 0 waiting row(s)"));

  MakeJournaledStore(true);
  EXPECT_TRUE(events_.Has("3 open operation(s) and 0 waiting row(s) restored"));
  EXPECT_EQ(Pool().PendingCount(), 3);
  // The register did not get the answer to its last message and sends it
  // again after the restart: the first is taken back, stock included, and
  // the sale is there once.
  const GoodsOutcome again = store_->ServeGoods(Request(2, 4, 2, "300", 1));
  ASSERT_TRUE(again.Served());
  EXPECT_TRUE(again.withdrawn);
  EXPECT_EQ(Stock(2), 99);
  // Other goods sent with the same byte go the same way.
  EXPECT_TRUE(store_->ServeGoods(Request(5, 1, 1, "300", 4)).withdrawn);
  EXPECT_EQ(Stock(1), 98);
  EXPECT_EQ(Close(2, 4, Stamp(1)), 2);
  EXPECT_EQ(ReportNames(), (std::vector<std::string>{"1 Bread 2.000", "1 Cheese 1.000"}));
  // A closed document starts afresh: after another restart, the same
  // sequence byte is a new message.
  MakeJournaledStore(true);
  EXPECT_TRUE(events_.Has("1 open operation(s) and 0 waiting row(s) restored"));
  EXPECT_FALSE(store_->ServeGoods(Request(2, 4, 1, "100", 1)).withdrawn);
  EXPECT_EQ(Close(5, 1, Stamp(2)), 1);
  EXPECT_EQ(Close(2, 4, Stamp(3)), 1);
  EXPECT_EQ(ReportNames(), (std::vector<std::string>{"1 Bread 2.000", "1 Cheese 1.000",
                                                     "2 Cheese 4.000", "3 Bread 1.000"}));
}

// A document open across a restart is stamped with the serial number the
// register gave before it, until the register identifies again.
TEST_F(JournaledStore, ADocumentOpenAcrossARestartKeepsItsRegistersSerialNumber) {
  auto identify = [&](uint32_t line, uint8_t network, const char* serial, uint8_t year) {
    Identification id;
    id.port_name = "COM" + std::to_string(line + 1);
    id.serial_number = serial;
    id.network_number = network;
    id.line_index = line;
    id.year = year;
    store_->ShowIdentification(id);
  };
  DocumentStamp unidentified = Stamp(7);  // a close without a new identification
  unidentified.year = 0;
  auto banks = [&] {
    std::vector<std::string> out;
    for (const auto& r : testing::ReadDbfRecords(Reports("otchet.dbf")))
      out.push_back(r.at("BANK") + " " + r.at("DATA"));
    return out;
  };

  MakeJournaledStore();
  identify(2, 4, "0012345", 0x25);
  identify(3, 1, "0099999", 0x24);
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 1, "100", 2)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(3, 1, 1, "300", 1)).Served());
  // Registers identify again at every start: the same identification adds
  // nothing to the journal.
  const uintmax_t size = std::filesystem::file_size(State("journal"));
  identify(2, 4, "0012345", 0x25);
  EXPECT_EQ(std::filesystem::file_size(State("journal")), size);
  store_.reset();

  MakeJournaledStore();
  MakeJournaledStore();  // and a start's compaction keeps it
  EXPECT_EQ(Close(2, 4, unidentified), 1);
  // A register that identifies after the restart with another serial
  // number is another register: the operation stays open for the one it was
  // sold on, and is closed when that one is back.
  identify(3, 1, "0077777", 0x26);
  EXPECT_EQ(Close(3, 1, unidentified), 0);
  identify(3, 1, "0099999", 0x24);
  EXPECT_EQ(Close(3, 1, unidentified), 1);
  // A sale after a new identification is stamped with the new one.
  identify(2, 4, "0000007", 0x26);
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 1, "300", 1)).Served());
  EXPECT_EQ(Close(2, 4, testing::Stamp("0000007", 8, 0x26, 0x03, 0x15)), 1);
  // A register never identified keeps the report's mark for that.
  ASSERT_TRUE(store_->ServeGoods(Request(5, 2, 1, "300", 1)).Served());
  EXPECT_EQ(Close(5, 2, unidentified), 1);
  const std::vector<std::string> rows = banks();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "0012345 20250315");
  EXPECT_EQ(rows[1], "0099999 20240315");
  EXPECT_EQ(rows[2], "0000007 20260315");
  EXPECT_NE(rows[3].substr(0, 7), "0012345");
  EXPECT_NE(rows[3].substr(0, 7), "0077777");
}

// A rewrite keeps a register's state only while it has an operation to take
// back: not one for every register the store has never heard from.
TEST_F(JournaledStore, ARewriteKeepsOnlyTheRegistersWithSomethingToTakeBack) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(3, 2, 1, "100", 1)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(3, 2, 2, "300", 1)).Served());
  ASSERT_EQ(Close(3, 2, Stamp(1)), 2);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  MakeJournaledStore();  // the start's compaction rewrites it
  std::vector<int> types;
  for (const std::string& entry : ReadJournalBytes(testing::ReadFile(State("journal"))).entries)
    types.push_back(EntryType(entry));
  // (and where the report ended after the booked document)
  EXPECT_EQ(types,
            (std::vector<int>{int(JournalEntryType::kOperation), int(JournalEntryType::kRegister),
                              int(JournalEntryType::kBooked)}));
  EXPECT_TRUE(store_->ServeGoods(Request(0, 1, 1, "300", 1)).withdrawn);
}

TEST_F(JournaledStore, WaitingRowsSurviveAStopAndGoFirst) {
  MakeJournaledStore();
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "300", 1)).Served());
  EXPECT_EQ(Close(0, 1, Stamp(1)), 2);  // booked, waiting
  EXPECT_EQ(QueuedRows(), 2);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "300", 5)).Served());
  store_.reset();
  EXPECT_TRUE(events_.Has("stop: the journal keeps 1 open operation(s) and 2 waiting row(s)"));
  fs_.Clear();

  MakeJournaledStore();
  EXPECT_TRUE(events_.Has("1 open operation(s) and 2 waiting row(s) restored"));
  EXPECT_TRUE(events_.Has("2 waiting row(s) from the journal written to otchet.dbf"));
  EXPECT_EQ(QueuedRows(), 0);
  EXPECT_EQ(Close(0, 1, Stamp(2)), 1);
  EXPECT_EQ(ReportNames(),
            (std::vector<std::string>{"1 Bread 1.000", "1 Cheese 1.000", "2 Cheese 5.000"}));
  // Booked rows are not written again by the next start.
  events_.Clear();
  MakeJournaledStore();
  EXPECT_TRUE(events_.Has("0 open operation(s) and 0 waiting row(s) restored"));
  EXPECT_EQ(ReportNames().size(), 3u);
}

TEST_F(JournaledStore, RowsThatMayBeInTheReportAreWrittenOnlyOnceItsEndCanBeRead) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  // The rows reach the report, the mark that they did does not, and the
  // server dies before its journal could say so.
  fs_.FailNth(FsOp::kWrite, 2, "/journal");
  EXPECT_EQ(Close(0, 1, Stamp(1)), 1);
  fs_.CrashAtWrite(1, false);
  store_.reset();
  fs_.Clear();
  // At the start the report's end cannot be read: the document waits.
  fs_.FailNth(FsOp::kRead, 2, "otchet.dbf");
  MakeJournaledStore();
  EXPECT_EQ(QueuedRows(), 1);
  EXPECT_TRUE(events_.Has("report append failed (Input/output error)"));
  // Once it can be read, the rows are found there and not written again.
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(QueuedRows(), 0);
  EXPECT_EQ(ReportNames(), std::vector<std::string>{"1 Bread 1.000"});
}

// A crash between a document's rows and their mark leaves them at the
// report's end. A hand-over asked for while the server was down hands them
// over counted, and they are not written again into the new file.
TEST_F(JournaledStore, AHandOverAskedForWhileTheServerWasDownTakesWhatACrashLeftOnce) {
  // The crash takes the header count (the close's third write) or the mark
  // (its fourth); the report's end may not be readable at the first step.
  for (const auto& [crash_at, unreadable] : {std::pair{3, false}, {4, false}, {4, true}}) {
    SCOPED_TRACE(std::to_string(crash_at) + (unreadable ? " unreadable" : ""));
    std::filesystem::remove(Reports("otchet.dbf"));
    std::filesystem::remove(Reports("otchet2.dbf"));
    MakeJournaledStore();
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "300", 2)).Served());
    fs_.CrashAtWrite(crash_at, false);
    Close(0, 1, Stamp(1));
    ASSERT_TRUE(fs_.Crashed());
    store_.reset();
    fs_.Clear();
    Signal(Reports("otchet.exp"));
    if (unreadable) fs_.FailNth(FsOp::kRead, 2, "otchet.dbf");
    MakeJournaledStore();
    if (unreadable) {
      // Nothing goes before its end has been looked at.
      EXPECT_TRUE(testing::FileExists(Reports("otchet.exp")));
      EXPECT_FALSE(testing::FileExists(Reports("otchet2.dbf")));
      store_->ExchangeReport();
    }
    EXPECT_FALSE(testing::FileExists(Reports("otchet.exp")));
    const std::string handed = testing::ReadFile(Reports("otchet2.dbf"));
    ASSERT_EQ(handed.size(), size_t{kReportHeaderLength} + 2 * kReportRecordLength);
    EXPECT_EQ(handed[4], 2);  // the header counts both
    EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet.dbf")).size(), 0u);
    EXPECT_EQ(QueuedRows(), 0);
    store_.reset();
  }
}

// Only the last unmarked document can be found at the report's end after a
// crash: while the journal cannot take a mark, no further document goes
// into the report.
TEST_F(JournaledStore, NoDocumentGoesIntoTheReportWhileTheMarkOfTheLastCannotBeKept) {
  MakeJournaledStore();
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(1)), 1);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "300", 2)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(2)), 1);
  ASSERT_EQ(QueuedRows(), 2);
  // The report has room again just as the state folder's disk fills up.
  fs_.Clear();
  fs_.FailAlways(FsOp::kWrite, "/journal", Status::kNoSpace);
  fs_.FailAlways(FsOp::kCreate, "journal.new", Status::kNoSpace);
  store_->ExchangeReport();
  EXPECT_EQ(ReportNames(), std::vector<std::string>{"1 Bread 1.000"});
  EXPECT_EQ(QueuedRows(), 1);
  // Then the server dies.
  fs_.CrashAtWrite(1, false);
  store_.reset();
  fs_.Clear();
  MakeJournaledStore();
  EXPECT_EQ(ReportNames(), (std::vector<std::string>{"1 Bread 1.000", "2 Cheese 2.000"}));
}

// Two registers that never identified close documents under one number in
// one minute for the same goods: their rows are alike byte for byte. The
// server dies at each write of their way into the report in turn, whole or
// torn (a crash that leaves the first at the report's end, its count not
// written, must not make the second pass for it): both are booked, once
// each.
class AlikeDocuments : public JournaledStore {
 protected:
  // Two alike documents wait for the report; it takes rows again, and the
  // server dies at the `crash_at`-th write from then on; it starts again.
  void BookWithACrash(int crash_at, bool torn) {
    store_.reset();
    fs_.Clear();
    fs_.Unlink(Reports("otchet.dbf"));
    fs_.Unlink(State("journal"));
    MakeJournaledStore();
    fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
    ASSERT_EQ(Close(0, 1, Stamp(7)), 1);
    ASSERT_TRUE(store_->ServeGoods(Request(1, 1, 1, "100", 1)).Served());
    ASSERT_EQ(Close(1, 1, Stamp(7)), 1);
    fs_.Clear();
    fs_.CrashAtWrite(crash_at, torn);
    store_->ExchangeReport();
    store_.reset();
    fs_.Clear();
    MakeJournaledStore();
  }
  // The write of the second document's rows, after the first's rows, its
  // count and its mark in the journal.
  static constexpr int kSecondRows = 4;
};

TEST_F(AlikeDocuments, BothAreBookedWhereverTheServerDies) {
  for (int crash_at = 1; crash_at <= 8; ++crash_at) {
    for (const bool torn : {false, true}) {
      SCOPED_TRACE("crash at write " + std::to_string(crash_at) + (torn ? ", torn" : ""));
      BookWithACrash(crash_at, torn);
      EXPECT_EQ(QueuedRows(), 0);
      EXPECT_EQ(ReportNames(), (std::vector<std::string>{"7 Bread 1.000", "7 Bread 1.000"}));
    }
  }
}

// The first is booked, and the server dies before the second's rows reach
// the report (or inside them). At the next start the first's rows, alike
// byte for byte, end the report: only the report's end its mark kept tells
// them from the second's.
TEST_F(AlikeDocuments, TheSecondIsBookedWhenTheServerDiesAtItsRows) {
  for (const bool torn : {false, true}) {
    SCOPED_TRACE(torn ? "torn" : "not written");
    BookWithACrash(kSecondRows, torn);
    EXPECT_EQ(ReportNames(), (std::vector<std::string>{"7 Bread 1.000", "7 Bread 1.000"}));
  }
}

// The report's end outlives the mark that told it: a start's rewrite of the
// journal (the report could not be written then) keeps it, and the second
// of two alike documents is still told from the first at the start after.
TEST_F(AlikeDocuments, TheReportsEndOutlivesARewrite) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(7)), 1);
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  ASSERT_TRUE(store_->ServeGoods(Request(1, 1, 1, "100", 1)).Served());
  ASSERT_EQ(Close(1, 1, Stamp(7)), 1);
  store_.reset();
  const uintmax_t before = std::filesystem::file_size(State("journal"));
  MakeJournaledStore();                                             // still no room for the report
  ASSERT_LT(std::filesystem::file_size(State("journal")), before);  // rewritten
  EXPECT_EQ(QueuedRows(), 1);
  store_.reset();
  fs_.Clear();
  MakeJournaledStore();
  EXPECT_EQ(QueuedRows(), 0);
  EXPECT_EQ(ReportNames(), (std::vector<std::string>{"7 Bread 1.000", "7 Bread 1.000"}));
}

// A report file deleted while the server was down is started anew, and may
// come back under the deleted one's identity (its inode): the journal's end
// of the old file must not place the first document of the new one.
TEST_F(AlikeDocuments, ANewReportFileIsNotTakenForTheOneBefore) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(7)), 1);
  store_.reset();
  fs_.Unlink(Reports("otchet.dbf"));
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(1, 1, 1, "100", 1)).Served());
  // It dies at the mark: the rows are in the report.
  fs_.CrashAtWrite(4, false);
  ASSERT_EQ(Close(1, 1, Stamp(7)), 1);
  ASSERT_TRUE(fs_.Crashed());
  store_.reset();
  fs_.Clear();
  MakeJournaledStore();
  EXPECT_EQ(QueuedRows(), 0);
  EXPECT_EQ(ReportNames(), std::vector<std::string>{"7 Bread 1.000"});
}

TEST_F(JournaledStore, ARestoredSaleIsTakenBackOnlyInTheGoodsFileItWasMadeIn) {
  MakeJournaledStore(true);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 10)).Served());
  store_.reset();
  // While the server was down, a new goods file came in where record 1 is
  // other goods.
  DbfImage next;
  next.fields = {{"CODE", 'C', 13},
                 {"NAME", 'C', 30},
                 {"PRICE", 'N', 10, 2},
                 {"DIVNUM", 'C', 2},
                 {"RES", 'N', 12, 3}};
  next.records = {{"900", "Other", "1.00", "1", "50.000"}, {"100", "Bread", "12.50", "1", "7.000"}};
  PutGoods("tovars2.dbf", next);
  std::filesystem::rename(Goods("tovars2.dbf"), Goods("tovars.dbf"));
  MakeJournaledStore(true);
  EXPECT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).withdrawn);
  EXPECT_EQ(Stock(1), 50);  // untouched
  EXPECT_EQ(Stock(2), 6);
}

TEST_F(JournaledStore, TheJournalStaysSmall) {
  MakeJournaledStore();
  uint64_t largest = 0;
  for (uint32_t d = 1; d <= 400; ++d) {
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "300", 1)).Served());
    ASSERT_EQ(Close(0, 1, Stamp(d)), 2);
    largest = std::max<uint64_t>(largest, std::filesystem::file_size(State("journal")));
  }
  // Left alone it would have grown to about 250 KB; mostly dead, it is
  // rewritten once it passes 64 KB.
  EXPECT_GT(largest, 60u * 1024);
  EXPECT_LT(largest, 66u * 1024);
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 7)).Served());
  events_.Clear();
  MakeJournaledStore();
  EXPECT_TRUE(events_.Has(": 1 open operation(s) and 0 waiting row(s) restored"));
  // What a start found dead is gone.
  EXPECT_LT(std::filesystem::file_size(State("journal")), 200u);
  EXPECT_EQ(ReportNames().size(), 800u);
}

// The journal is rewritten from what the store holds once a transaction is
// done, never halfway: a close that makes it mostly dead leaves a journal
// that holds neither the closed sales nor the booked document.
TEST_F(JournaledStore, ACompactionAtADocumentCloseKeepsWhatTheCloseDid) {
  MakeJournaledStore();
  const std::string journal = State("journal");
  uint32_t document = 0;
  // Whole documents until the journal nears the size where it is looked at.
  while (std::filesystem::file_size(journal) < 60u * 1024) {
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
    ASSERT_EQ(Close(0, 1, Stamp(++document)), 1);
  }
  // Sales until the next would pass 64 KB: the close is what passes it.
  uint8_t sequence = 1;
  uint64_t size = std::filesystem::file_size(journal);
  for (uint64_t step = 0; size + 2 * step < 64u * 1024; sequence++) {
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, sequence, "300", 1)).Served());
    const uint64_t now = std::filesystem::file_size(journal);
    step = now - size;
    size = now;
  }
  ASSERT_LT(size, 64u * 1024);
  ASSERT_GT(Close(0, 1, Stamp(++document)), 0);
  ASSERT_LT(std::filesystem::file_size(journal), 1024u);  // rewritten
  events_.Clear();
  MakeJournaledStore();
  EXPECT_TRUE(events_.Has(": 0 open operation(s) and 0 waiting row(s) restored"));
  EXPECT_EQ(Close(0, 1, Stamp(++document)), 0);
  EXPECT_EQ(ReportNames().size(), document - 2 + sequence - 1);
}

TEST_F(JournaledStore, ABadJournalNeverStopsTheServerAndIsNeverDroppedSilently) {
  std::filesystem::create_directories(State(""));
  testing::WriteFile(State("journal"), "this is no journal");
  MakeJournaledStore();
  CollectedEvent event;
  ASSERT_TRUE(events_.Find("is not a journal file: it was kept as", &event));
  EXPECT_EQ(event.severity, Severity::kError);
  EXPECT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  int aside = 0;
  for (const auto& e : std::filesystem::directory_iterator(State("")))
    aside += e.path().filename().string().rfind("journal.bad-", 0) == 0;
  EXPECT_EQ(aside, 1);
}

TEST_F(JournaledStore, WithoutAWorkingJournalNothingIsSoldOrClosed) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  fs_.FailAlways(FsOp::kWrite, "/journal", Status::kNoSpace);
  fs_.FailAlways(FsOp::kCreate, "journal.new", Status::kNoSpace);
  const GoodsOutcome refused = store_->ServeGoods(Request(0, 1, 2, "300", 1));
  EXPECT_EQ(refused.refusal, GoodsRefusal::kNotRecorded);
  EXPECT_EQ(Stock(2), 100);  // nothing of it stays
  EXPECT_EQ(Pool().PendingCount(), 1);
  EXPECT_EQ(store_->ServeGoods(Request(0, 1, 3, "300", 1)).refusal, GoodsRefusal::kNotRecorded);
  EXPECT_EQ(Close(0, 1, Stamp(1)), -1);  // stays open
  EXPECT_EQ(Pool().PendingCount(), 1);
  EXPECT_EQ(events_.Count("cannot be written (No space left on device): goods messages are "
                          "refused and documents stay open until it can"),
            1);
  fs_.Clear();
  EXPECT_EQ(Close(0, 1, Stamp(1)), 1);
  EXPECT_TRUE(events_.Has("journal " + State("journal") + " can be written again"));
  events_.Clear();
  MakeJournaledStore();
  EXPECT_TRUE(events_.Has("0 open operation(s) and 0 waiting row(s) restored"));
  EXPECT_EQ(ReportNames(), std::vector<std::string>{"1 Bread 1.000"});
}

TEST_F(JournaledStore, AJournalHeldElsewhereIsTakenUpOnceItIsFree) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  Journal other(&SystemFileSystem(), state_dir_.path());
  store_.reset();
  JournalRecovery ignored;
  ASSERT_TRUE(other.Open(&ignored).ok());  // another server has it now
  MakeJournaledStore();
  EXPECT_TRUE(events_.Has("is held by another server"));
  EXPECT_EQ(store_->ServeGoods(Request(1, 1, 1, "100", 1)).refusal, GoodsRefusal::kNotRecorded);
  // Nor is a document closed: the journal may hold sales of it.
  EXPECT_EQ(Close(0, 1, Stamp(1)), -1);
  other.Close();
  EXPECT_TRUE(store_->ServeGoods(Request(1, 1, 1, "100", 1)).Served());
  EXPECT_EQ(Pool().PendingCount(), 2);  // the one it held, and the new one
  EXPECT_EQ(Close(0, 1, Stamp(1)), 1);
}

TEST_F(JournaledStore, NoJournalWithoutAStateFolderOrStoreFolders) {
  MakeStore();
  EXPECT_EQ(Probe().Journal().File(), nullptr);
  EXPECT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  store_.reset();
  EXPECT_FALSE(events_.Has("journal"));
  TDB not_installed("", "", fs_, &events_, state_dir_.path());
  EXPECT_EQ(TdbProbe(not_installed).Journal().File(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(State("journal")));
}

// Two servers started on the same state and shop folders: the second, which
// holds neither the journal nor the report, hands nothing over; the first
// goes on writing the rows it answered "o" for.
TEST_F(JournaledStore, TwoServersOnOneShopOnlyTheJournalsHolderHandsTheReportOver) {
  MakeJournaledStore();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(1)), 1);
  TDB second(goods_dir_.path(), report_dir_.path(), fs_, &events_, state_dir_.path());
  Signal(Reports("otchet.exp"));
  EXPECT_FALSE(second.ExchangeReport());
  EXPECT_FALSE(testing::FileExists(Reports("otchet2.dbf")));
  EXPECT_TRUE(testing::FileExists(Reports("otchet.exp")));
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "300", 1)).Served());
  ASSERT_EQ(Close(0, 1, Stamp(2)), 1);
  EXPECT_TRUE(store_->ExchangeReport());
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet2.dbf")).size(), 2u);
}

// A new goods file is taken in by the server that holds the journal, not by
// one beside it (at its start or later), which would put it in place under
// the file the first one sells from.
TEST_F(JournaledStore, TwoServersOnOneShopOnlyTheJournalsHolderTakesANewGoodsFileIn) {
  MakeJournaledStore();
  PutGoods("tovars2.dbf", testing::SampleGoods());
  Signal(Goods("tovars.exp"));
  TDB second(goods_dir_.path(), report_dir_.path(), fs_, &events_, state_dir_.path());
  EXPECT_TRUE(second.ExchangeGoods());  // tovars.dbf, for its look at the goods
  EXPECT_TRUE(testing::FileExists(Goods("tovars2.dbf")));
  EXPECT_TRUE(testing::FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(store_->ExchangeGoods());
  EXPECT_FALSE(testing::FileExists(Goods("tovars2.dbf")));
  EXPECT_FALSE(testing::FileExists(Goods("tovars.exp")));
}

// The second server takes the journal over when the first stops: the first
// one's open operations stay its registers', not the second one's that
// identified with another serial number at the same line and network number.
TEST_F(JournaledStore, TwoServersOnOneShopOpenOperationsBelongToTheirRegister) {
  const auto identify = [](TDB& db, const char* serial) {
    db.ShowIdentification({"COM1", "EKR", serial, 1, 0, 0x26});
  };
  MakeJournaledStore();
  identify(*store_, "1111111");
  for (uint8_t sequence = 1; sequence <= 3; ++sequence)
    ASSERT_TRUE(store_->ServeGoods(Request(0, 1, sequence, "100", sequence)).Served());
  TDB second(goods_dir_.path(), report_dir_.path(), fs_, &events_, state_dir_.path());
  StatusBoard board;
  second.SetStatusBoard(&board);
  identify(second, "2222222");
  store_.reset();
  // Its register's message carries the sequence byte the other one's last
  // message had: it is a new one, not a repetition.
  const GoodsOutcome outcome = second.ServeGoods(Request(0, 1, 3, "300", 1));
  EXPECT_TRUE(outcome.Served());
  EXPECT_FALSE(outcome.withdrawn);
  EXPECT_TRUE(events_.Has("journal: 3 open operation(s) of register 1111111 kept for it"));
  EXPECT_EQ(board.Snapshot().store.kept_operations, (std::map<std::string, int>{{"1111111", 3}}));
  EXPECT_EQ(board.Snapshot().registers[0][0].pending_operations, 1);
  EXPECT_EQ(second.CloseDocument(0, 1, testing::CloseOf(Stamp(5))), 1);
  // The register they were sold on identifies there again: they are its own.
  identify(second, "1111111");
  EXPECT_TRUE(events_.Has("3 open operation(s) kept for it are its own again"));
  EXPECT_TRUE(board.Snapshot().store.kept_operations.empty());
  EXPECT_EQ(second.CloseDocument(0, 1, testing::CloseOf(Stamp(6))), 3);
  std::vector<std::string> rows;
  for (const auto& r : testing::ReadDbfRecords(Reports("otchet.dbf")))
    rows.push_back(r.at("BANK") + " " + r.at("CHECK") + " " + r.at("QUANTY"));
  EXPECT_EQ(rows, (std::vector<std::string>{"2222222 5 1.000", "1111111 6 1.000", "1111111 6 2.000",
                                            "1111111 6 3.000"}));
}
}  // namespace
}  // namespace tillgate
