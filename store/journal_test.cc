// The journal file: entries kept whole across reopening, a torn end cut,
// anything unreadable kept aside, a rewrite all or nothing; the store's
// entries read back as written.

#include "store/journal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string_view>

#include "platform/fault_file_system.h"
#include "platform/forwarding_file_system.h"
#include "platform/platform.h"
#include "store/journal_entries.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;

std::vector<std::string> Entries(int n, size_t size = 40) {
  std::vector<std::string> entries;
  for (int i = 0; i < n; ++i) entries.push_back(std::string(size, static_cast<char>('a' + i)));
  return entries;
}

// Files beside the journal whose names start with "journal.bad-".
std::vector<std::string> KeptAside(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().rfind("journal.bad-", 0) == 0)
      names.push_back(e.path().string());
  return names;
}

class JournalFile : public ::testing::Test {
 protected:
  JournalFile() : fs_(&SystemFileSystem()) {}
  std::string Folder() const { return dir_.path() + "/state"; }
  std::string Path() const { return Folder() + "/journal"; }

  // Reopens the journal as a new start would.
  JournalRecovery Reopen() {
    journal_ = std::make_unique<Journal>(&fs_, Folder());
    JournalRecovery recovery;
    EXPECT_TRUE(journal_->Open(&recovery).ok());
    return recovery;
  }

  ScratchDir dir_;
  FaultFileSystem fs_;
  std::unique_ptr<Journal> journal_;
};

TEST_F(JournalFile, EntriesComeBackInOrderAfterReopeningAndRewriting) {
  // The folder is made when missing.
  EXPECT_TRUE(Reopen().entries.empty());
  ASSERT_TRUE(journal_->Append(Entries(2)).ok());
  ASSERT_TRUE(journal_->Append({std::string(1, 'z')}).ok());
  EXPECT_EQ(journal_->Size(), std::filesystem::file_size(Path()));
  std::vector<std::string> all = Entries(2);
  all.push_back("z");
  JournalRecovery again = Reopen();
  EXPECT_EQ(again.entries, all);
  EXPECT_EQ(again.repair, "");

  ASSERT_TRUE(journal_->Rewrite(Entries(1, 3)).ok());
  EXPECT_EQ(journal_->Size(), Journal::EncodedSize(Entries(1, 3)));
  ASSERT_TRUE(journal_->Append(Entries(1)).ok());
  EXPECT_EQ(Reopen().entries, (std::vector<std::string>{"aaa", std::string(40, 'a')}));
  EXPECT_FALSE(std::filesystem::exists(Path() + ".new"));
}

TEST_F(JournalFile, ATornLastEntryIsCutAtEveryLength) {
  Reopen();
  ASSERT_TRUE(journal_->Append(Entries(2)).ok());
  const uint64_t whole = journal_->Size();
  ASSERT_TRUE(journal_->Append(Entries(1, 30)).ok());
  const std::string bytes = ReadFile(Path());
  for (uint64_t cut = whole + 1; cut < bytes.size(); ++cut) {
    journal_.reset();
    WriteFile(Path(), bytes.substr(0, cut));
    const JournalRecovery recovery = Reopen();
    EXPECT_EQ(recovery.entries, Entries(2)) << cut;
    EXPECT_NE(recovery.repair.find("its last entry was cut short by a stop (" +
                                   std::to_string(cut - whole) + " bytes)"),
              std::string::npos)
        << recovery.repair;
    EXPECT_EQ(std::filesystem::file_size(Path()), whole);
  }
  // A torn entry whose length is all there but whose bytes are not.
  std::string bad = bytes;
  bad.back() ^= 1;
  journal_.reset();
  WriteFile(Path(), bad);
  EXPECT_EQ(Reopen().entries, Entries(2));
  // Appends go on where the whole entries end.
  ASSERT_TRUE(journal_->Append({"new"}).ok());
  std::vector<std::string> all = Entries(2);
  all.push_back("new");
  EXPECT_EQ(Reopen().entries, all);
  EXPECT_TRUE(KeptAside(Folder()).empty());
}

TEST_F(JournalFile, AnUnreadableJournalIsKeptAsideAndANewOneStarted) {
  Reopen();
  ASSERT_TRUE(journal_->Append(Entries(3)).ok());
  const std::string good = ReadFile(Path());
  journal_.reset();
  struct Case {
    std::string bytes;
    std::string says;
    std::vector<std::string> kept;
  };
  std::string damaged = good;
  damaged[8 + 8 + 40 + 8 + 5] ^= 0x40;  // inside the second entry
  std::string newer = good;
  newer[4] = 2;
  const Case cases[] = {
      {"garbage that is no journal", "is not a journal file", {}},
      {newer, "was written by a newer version of the server (format 2)", {}},
      {damaged, "is damaged at byte 56; the 1 entries before it are used", Entries(1)},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directory(Folder());
    WriteFile(Path(), c.bytes);
    const JournalRecovery recovery = Reopen();
    EXPECT_EQ(recovery.entries, c.kept);
    EXPECT_NE(recovery.repair.find(c.says), std::string::npos) << recovery.repair;
    EXPECT_EQ(recovery.repair_severity, Severity::kError);
    // Nothing is dropped: the file as it was lies beside the new journal.
    const auto aside = KeptAside(Folder());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_NE(recovery.repair.find("kept as " + aside[0]), std::string::npos);
    EXPECT_EQ(ReadFile(aside[0]), c.bytes);
    EXPECT_EQ(Reopen().entries, c.kept);
    EXPECT_EQ(Reopen().repair, "");
  }
  // A file cut inside its header was never more than begun: started afresh.
  journal_.reset();
  std::filesystem::remove_all(Folder());
  std::filesystem::create_directory(Folder());
  WriteFile(Path(), good.substr(0, 3));
  EXPECT_EQ(Reopen().repair, "");
  EXPECT_TRUE(KeptAside(Folder()).empty());
  EXPECT_TRUE(journal_->Append({"x"}).ok());
  EXPECT_EQ(Reopen().entries, std::vector<std::string>{"x"});
}

TEST_F(JournalFile, OneServerAtATime) {
  Reopen();
  Journal second(&fs_, Folder());
  JournalRecovery recovery;
  EXPECT_EQ(second.Open(&recovery), Status::kBusy);
  EXPECT_FALSE(second.IsOpen());
  // Its rewrite hands the lock on to the new file.
  ASSERT_TRUE(journal_->Rewrite({"a"}).ok());
  EXPECT_EQ(second.Open(&recovery), Status::kBusy);
  journal_.reset();
  EXPECT_TRUE(second.Open(&recovery).ok());
  EXPECT_EQ(recovery.entries, std::vector<std::string>{"a"});
}

// Forwards to the disk; once armed, the next open or creation of a path
// ending in `suffix` lets `race` run at that moment, as another server
// would.
class RacingFileSystem final : public ForwardingFileSystem {
 public:
  RacingFileSystem() : ForwardingFileSystem(&SystemFileSystem()) {}
  void Arm(FsOp op, std::string suffix, std::function<void()> race) {
    op_ = op;
    suffix_ = std::move(suffix);
    race_ = std::move(race);
  }
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    // Opened just before the other server put a new file in its place, and
    // locked just after that server let go of the old one.
    if (!Fire(FsOp::kOpen, path)) return base()->Open(path, mode, file);
    std::filesystem::create_hard_link(path, path + ".old");
    race_();
    const Status s = base()->Open(path + ".old", mode, file);
    std::filesystem::remove(path + ".old");
    return s;
  }
  Status Create(const std::string& path, OpenMode mode, Readers readers,
                std::unique_ptr<File>* file) override {
    const Status s = base()->Create(path, mode, readers, file);
    if (s.ok() && Fire(FsOp::kCreate, path)) race_();
    return s;
  }

 private:
  bool Fire(FsOp op, const std::string& path) {
    if (!race_ || op != op_ || path.size() < suffix_.size() ||
        path.compare(path.size() - suffix_.size(), suffix_.size(), suffix_) != 0)
      return false;
    op_ = FsOp::kExists;  // once
    return true;
  }

  FsOp op_ = FsOp::kExists;
  std::string suffix_;
  std::function<void()> race_;
};

// The lock counts only on the file the name leads to: two servers starting
// together, or one starting while the other rewrites, never both write.
TEST_F(JournalFile, OneServerAtATimeAlsoWhenTheyMeetHalfway) {
  RacingFileSystem racing;
  // The other server rewrites its journal between this one's open and lock.
  Reopen();
  ASSERT_TRUE(journal_->Append({"theirs"}).ok());
  Journal late(&racing, Folder());
  racing.Arm(FsOp::kOpen, "/journal", [&] { ASSERT_TRUE(journal_->Rewrite({"theirs"}).ok()); });
  JournalRecovery recovery;
  EXPECT_EQ(late.Open(&recovery), Status::kBusy);
  EXPECT_FALSE(late.IsOpen());
  ASSERT_TRUE(journal_->Append({"more"}).ok());
  journal_.reset();
  EXPECT_EQ(Reopen().entries, (std::vector<std::string>{"theirs", "more"}));
  journal_.reset();

  // Both find no journal and start one at the same moment.
  std::filesystem::remove_all(Folder());
  Journal first(&racing, Folder());
  Journal second(&racing, Folder());
  JournalRecovery second_recovery;
  Status second_opened;
  racing.Arm(FsOp::kCreate, "", [&] { second_opened = second.Open(&second_recovery); });
  ASSERT_TRUE(first.Open(&recovery).ok());
  EXPECT_EQ(second_opened, Status::kBusy);
  EXPECT_FALSE(second.IsOpen());
  ASSERT_TRUE(first.Append({"first"}).ok());
  first.Close();
  EXPECT_EQ(Reopen().entries, std::vector<std::string>{"first"});
}

// Some systems (Windows) refuse to put a file in the place of one that is
// open: the rewrite closes both for the rename and opens the journal again
// after it, and no other server can take the journal meanwhile.
TEST_F(JournalFile, ARewriteClosesItsFilesForTheRenameAndKeepsOthersOut) {
  fs_.RefuseReplacingOpenFiles();
  Reopen();
  ASSERT_TRUE(journal_->Append(Entries(2)).ok());
  Journal other(&fs_, Folder());
  JournalRecovery other_recovery;
  Status other_opened;
  fs_.BeforeNextReplacing([&] { other_opened = other.Open(&other_recovery); });
  ASSERT_TRUE(journal_->Rewrite({"kept"}).ok());
  EXPECT_EQ(other_opened, Status::kBusy);
  EXPECT_FALSE(other.IsOpen());
  ASSERT_TRUE(journal_->Append({"more"}).ok());
  // Opened again, it is locked again.
  EXPECT_EQ(other.Open(&other_recovery), Status::kBusy);

  // A rename refused leaves the old journal, open again and in step.
  fs_.FailNth(FsOp::kRenameReplacing, 1, "", 1, Status::kBusy);
  EXPECT_EQ(journal_->Rewrite({"lost"}), Status::kBusy);
  EXPECT_TRUE(journal_->InStep());
  ASSERT_TRUE(journal_->Append({"last"}).ok());
  // One that cannot be opened again after the rename stays this server's
  // and asks for another rewrite.
  fs_.FailNth(FsOp::kOpen, 1, "/journal");
  EXPECT_FALSE(journal_->Rewrite({"kept", "more"}).ok());
  EXPECT_TRUE(journal_->IsOpen());
  EXPECT_FALSE(journal_->InStep());
  EXPECT_EQ(other.Open(&other_recovery), Status::kBusy);
  ASSERT_TRUE(journal_->Rewrite({"kept", "more", "last"}).ok());
  journal_.reset();
  EXPECT_EQ(Reopen().entries, (std::vector<std::string>{"kept", "more", "last"}));
}

TEST_F(JournalFile, AFailedRewriteLeavesTheOldJournalAndAFailedAppendAsksForOne) {
  Reopen();
  ASSERT_TRUE(journal_->Append(Entries(2)).ok());
  for (const FsOp op : {FsOp::kCreate, FsOp::kWrite, FsOp::kSync, FsOp::kRenameReplacing}) {
    fs_.FailNth(op, 1, "", 1, Status::kNoSpace);
    const Status s = journal_->Rewrite({"replacement"});
    EXPECT_EQ(s, Status::kNoSpace) << static_cast<int>(op);
    EXPECT_EQ(s.Reason(), "No space left on device");
    EXPECT_TRUE(journal_->InStep());
    EXPECT_FALSE(std::filesystem::exists(Path() + ".new"));
    ASSERT_TRUE(journal_->Append({"more"}).ok());
  }
  // A folder that cannot be synced does not undo a rewrite that is done.
  fs_.FailNth(FsOp::kSyncFolder, 1);
  EXPECT_TRUE(journal_->Rewrite({"done"}).ok());

  // An append cut short leaves nothing behind and asks for a rewrite.
  fs_.FailNth(FsOp::kWrite, 1, "", 1, Status::kShortTransfer);
  EXPECT_FALSE(journal_->Append({"cut short"}).ok());
  EXPECT_FALSE(journal_->InStep());
  EXPECT_EQ(journal_->Append({"more"}), Status::kError);
  ASSERT_TRUE(journal_->Rewrite({"done"}).ok());
  // So does one that may not have reached the disk.
  fs_.FailNth(FsOp::kSync, 1);
  EXPECT_FALSE(journal_->Append({"unsynced"}).ok());
  EXPECT_FALSE(journal_->InStep());
  ASSERT_TRUE(journal_->Rewrite({"done", "again"}).ok());
  EXPECT_EQ(Reopen().entries, (std::vector<std::string>{"done", "again"}));
}

// Decoded and encoded again, every entry gives back its very bytes: no field
// is lost, cut or moved.
template <typename Entry>
std::string AgainFrom(const std::string& bytes) {
  Entry decoded;
  EXPECT_TRUE(DecodeEntry(bytes, &decoded));
  return EncodeEntry(decoded);
}

TEST(JournalEntries, EachKindReadsBackAsWritten) {
  JournalOperation op;
  op.id = 0x0102030405060708ull;
  op.record.line_index = 15;
  op.record.network_number = 10;
  std::strcpy(op.record.goods_code, "12345678901234");
  op.record.quantity = 1.234;
  op.record.price = 649.0;
  op.record.amount = 800.87;
  std::strcpy(op.record.name, "\xD1\xFB\xF0 name of 34 characters......");
  op.record.section = '3';
  op.record.operation_code = kOpReturn;
  op.record.lookup_kind = kLookupByBarcode;
  op.record.goods_record_number = 70000;
  op.stock_moved = true;
  op.goods_file = {0xFFFFFFFF01ull, 0xABCDEFull};
  const std::string op_bytes = EncodeEntry(op);
  EXPECT_EQ(AgainFrom<JournalOperation>(op_bytes), op_bytes);
  JournalOperation op_back;
  ASSERT_TRUE(DecodeEntry(op_bytes, &op_back));
  EXPECT_EQ(op_back.record.amount, 800.87);
  EXPECT_STREQ(op_back.record.name, op.record.name);

  JournalDocument document{7, {1, 2, 3}, {}};
  document.rows.resize(2);
  document.rows[0].fill('x');
  document.rows[1].fill('y');
  for (const std::string& bytes :
       {EncodeEntry(document), EncodeEntry(JournalRegister{3, 9, 0x42, 77}),
        EncodeEntry(JournalWithdrawal{5, {}}), EncodeEntry(JournalBooked{6}),
        EncodeEntry(JournalIdentification{15, 10, 0x26, "0310001"})}) {
    switch (static_cast<JournalEntryType>(EntryType(bytes))) {
      case JournalEntryType::kDocument:
        EXPECT_EQ(AgainFrom<JournalDocument>(bytes), bytes);
        break;
      case JournalEntryType::kRegister:
        EXPECT_EQ(AgainFrom<JournalRegister>(bytes), bytes);
        break;
      case JournalEntryType::kWithdrawal:
        EXPECT_EQ(AgainFrom<JournalWithdrawal>(bytes), bytes);
        break;
      case JournalEntryType::kBooked:
        EXPECT_EQ(AgainFrom<JournalBooked>(bytes), bytes);
        break;
      case JournalEntryType::kIdentification:
        EXPECT_EQ(AgainFrom<JournalIdentification>(bytes), bytes);
        break;
      default:
        ADD_FAILURE() << "type " << int(EntryType(bytes));
    }
  }
}

TEST(JournalEntries, BytesThatAreNotAWholeEntryAreRefused) {
  const std::string document = EncodeEntry(JournalDocument{7, {1, 2}, {ReportRecordBytes{}}});
  JournalDocument out;
  for (size_t cut = 0; cut < document.size(); ++cut)
    EXPECT_FALSE(DecodeEntry(document.substr(0, cut), &out)) << cut;
  EXPECT_FALSE(DecodeEntry(document + "x", &out));
  // A count beyond what the bytes hold is refused before anything is sized.
  std::string huge = document;
  huge[1 + 8] = '\xFF';
  huge[1 + 8 + 3] = '\x7F';
  EXPECT_FALSE(DecodeEntry(huge, &out));
  JournalBooked booked;
  EXPECT_FALSE(DecodeEntry(document, &booked));  // another kind
  EXPECT_FALSE(DecodeEntry("", &booked));
  // Text fields always end in a zero byte, whatever the bytes say.
  JournalOperation op;
  std::memset(op.record.name, 'N', sizeof op.record.name);
  JournalOperation op_back;
  ASSERT_TRUE(DecodeEntry(EncodeEntry(op), &op_back));
  EXPECT_EQ(std::strlen(op_back.record.name), sizeof op.record.name - 1);
}

// What a look beside a running server finds: the same counts a replay
// would restore, and damage named without anything repaired.
TEST(JournalEntries, ALookAtTheBytesCountsWhatTheNextStartRestores) {
  auto op = [](JournalId id) {
    JournalOperation e;
    e.id = id;
    return EncodeEntry(e);
  };
  JournalDocument closed{10, {1, 2}, std::vector<ReportRecordBytes>(2)};
  JournalDocument waiting{11, {3}, std::vector<ReportRecordBytes>(3)};
  const std::vector<std::string> entries = {
      op(1),
      op(2),
      op(3),
      op(4),
      op(5),
      EncodeEntry(JournalWithdrawal{4, {}}),
      EncodeEntry(closed),
      EncodeEntry(JournalBooked{10}),
      EncodeEntry(waiting),
      EncodeEntry(JournalRegister{0, 1, 7, 5}),
      EncodeEntry(JournalIdentification{0, 1, 0x26, "0000001"}),
      std::string("\x63junk")};
  const JournalTotals totals = CountJournal(entries);
  EXPECT_EQ(totals.open_operations, 1);  // 5
  EXPECT_EQ(totals.waiting_rows, 3);
  EXPECT_EQ(totals.unreadable, 1);

  ScratchDir dir;
  FaultFileSystem fs(&SystemFileSystem());
  {
    Journal journal(&fs, dir.path());
    JournalRecovery recovery;
    ASSERT_TRUE(journal.Open(&recovery).ok());
    ASSERT_TRUE(journal.Append(entries).ok());
  }
  const std::string bytes = ReadFile(dir.File("journal"));
  JournalReading reading = ReadJournalBytes(bytes);
  EXPECT_EQ(reading.entries, entries);
  EXPECT_TRUE(reading.problem.empty());
  reading = ReadJournalBytes(bytes.substr(0, bytes.size() - 3));
  EXPECT_EQ(reading.entries.size(), entries.size() - 1);
  EXPECT_FALSE(reading.damaged);
  EXPECT_EQ(reading.problem, "its last entry was cut short by a stop (" +
                                 std::to_string(8 + entries.back().size() - 3) +
                                 " bytes); it is cut off at the next start");
  std::string broken = bytes;
  broken[20] ^= 0x55;
  reading = ReadJournalBytes(broken);
  EXPECT_TRUE(reading.damaged);
  EXPECT_EQ(reading.problem,
            "is damaged at byte 8; the entries before it are used and it is kept aside at the "
            "next start");
  reading = ReadJournalBytes("this is no journal");
  EXPECT_TRUE(reading.damaged);
  EXPECT_TRUE(reading.entries.empty());
}

// Any kind read as any entry comes back as that kind, and writes the same
// bytes again.
TEST(JournalEntries, AnyKindReadsBackAsItself) {
  JournalDocument document{7, {1, 2}, std::vector<ReportRecordBytes>(1)};
  document.rows[0].fill('r');
  const std::vector<JournalEntry> entries = {JournalOperation{},
                                             JournalWithdrawal{5, {}},
                                             JournalRegister{3, 9, 0x42, 77},
                                             JournalIdentification{15, 10, 0x26, "0310001"},
                                             document,
                                             JournalBooked{6}};
  for (const JournalEntry& entry : entries) {
    const std::string bytes = EncodeEntry(entry);
    JournalEntry back;
    ASSERT_TRUE(DecodeEntry(bytes, &back)) << entry.index();
    EXPECT_EQ(back.index(), entry.index());
    EXPECT_EQ(EncodeEntry(back), bytes);
  }
  JournalEntry out;
  EXPECT_FALSE(DecodeEntry("", &out));
  EXPECT_FALSE(DecodeEntry("\x63junk", &out));
  EXPECT_FALSE(DecodeEntry(EncodeEntry(JournalBooked{6}) + "x", &out));
}

// A booked mark keeps where the report ended after the document; one of an
// older version (the id alone) still reads, and leaves that end unknown, as
// the rows it booked moved the end; a mark for no document (a rewrite's)
// books nothing.
TEST(JournalEntries, ABookedMarkKeepsTheReportsEnd) {
  const ReportEnd end{{0x0102, 0x0304}, 7, true};
  const std::string bytes = EncodeEntry(JournalBooked{6, end});
  EXPECT_EQ(bytes.size(), 1u + 8 + 4 + 16);
  EXPECT_EQ(AgainFrom<JournalBooked>(bytes), bytes);
  JournalBooked back;
  ASSERT_TRUE(DecodeEntry(bytes, &back));
  EXPECT_EQ(back.id, 6u);
  EXPECT_EQ(back.end, end);
  const std::string old = EncodeEntry(JournalBooked{6});
  EXPECT_EQ(old.size(), 1u + 8);
  ASSERT_TRUE(DecodeEntry(old, &back));
  EXPECT_FALSE(back.end.known);
  for (size_t cut = old.size() + 1; cut < bytes.size(); ++cut)
    EXPECT_FALSE(DecodeEntry(bytes.substr(0, cut), &back)) << cut;

  JournalDocument first{10, {}, std::vector<ReportRecordBytes>(1)};
  JournalDocument second{11, {}, std::vector<ReportRecordBytes>(1)};
  const ReportEnd later{{0x0102, 0x0304}, 8, true};
  JournalContents contents =
      ReadBack({EncodeEntry(first), EncodeEntry(second), EncodeEntry(JournalBooked{10, end}),
                EncodeEntry(JournalBooked{0, later})});
  EXPECT_EQ(contents.report_end, later);
  ASSERT_EQ(contents.waiting.size(), 1u);
  EXPECT_EQ(contents.waiting[0].id, 11u);
  contents = ReadBack({EncodeEntry(JournalBooked{10, end}), old});
  EXPECT_FALSE(contents.report_end.known);
}

// What the entries leave, in the order a start restores it: operations
// still open in the order they were committed, each register's latest
// state and identification, documents not yet booked.
TEST(JournalEntries, ReadBackLeavesWhatIsStillOpen) {
  auto op = [](JournalId id) {
    JournalOperation e;
    e.id = id;
    e.record.quantity = static_cast<double>(id);
    return EncodeEntry(e);
  };
  JournalDocument first{10, {1}, std::vector<ReportRecordBytes>(2)};
  JournalDocument empty{11, {3}, {}};  // nothing for the report: not waiting
  JournalDocument second{12, {}, std::vector<ReportRecordBytes>(1)};
  const JournalContents contents = ReadBack({
      op(1),
      op(2),
      op(3),
      op(4),
      EncodeEntry(JournalWithdrawal{2, {}}),
      EncodeEntry(JournalRegister{0, 1, 7, 3}),
      EncodeEntry(JournalRegister{0, 1, 9, 4}),
      EncodeEntry(JournalRegister{2, 5, 1, 1}),
      EncodeEntry(JournalIdentification{0, 1, 0x25, "0000001"}),
      EncodeEntry(JournalIdentification{0, 1, 0x26, "0000002"}),
      EncodeEntry(first),
      EncodeEntry(empty),
      EncodeEntry(second),
      EncodeEntry(JournalWithdrawal{99, {}}),  // never there: nothing happens
      op(5),
      EncodeEntry(JournalBooked{10}),
      std::string("\x63junk"),
  });
  std::vector<JournalId> open;
  for (const JournalOperation& e : contents.operations) open.push_back(e.id);
  EXPECT_EQ(open, (std::vector<JournalId>{4, 5}));
  EXPECT_EQ(contents.operations[0].record.quantity, 4);
  ASSERT_EQ(contents.registers.size(), 2u);
  EXPECT_EQ(contents.registers[0].last_sequence, 9);  // the latest
  EXPECT_EQ(contents.registers[0].last_operation, 4u);
  EXPECT_EQ(contents.registers[1].line_index, 2u);  // its operation closed: the store drops it
  ASSERT_EQ(contents.identifications.size(), 1u);
  EXPECT_STREQ(contents.identifications[0].serial_number, "0000002");
  EXPECT_EQ(contents.identifications[0].year, 0x26);
  ASSERT_EQ(contents.waiting.size(), 1u);
  EXPECT_EQ(contents.waiting[0].id, 12u);
  EXPECT_EQ(contents.last_id, 12u);
  EXPECT_EQ(contents.unreadable, 1);
}

StockLevel Level(uint64_t inode, int32_t record, const char* code, double stock) {
  StockLevel level;
  level.goods_file = {7, inode};
  level.record_number = record;
  level.code = code;
  level.stock = stock;
  return level;
}

// The stock a movement left and the register an operation was sold on read
// back as written; entries a version before them wrote still read, with
// neither.
TEST(JournalEntries, StockLevelsAndOwnersReadBackAndOlderEntriesStillDo) {
  JournalOperation op;
  op.id = 9;
  op.record.quantity = 0.25;
  op.stock_moved = true;
  op.goods_file = {7, 70};
  op.level = Level(70, 3, "2000         ", 4.75);
  std::memcpy(op.owner, "0310001", 7);
  op.kept = true;
  const std::string op_bytes = EncodeEntry(op);
  EXPECT_EQ(AgainFrom<JournalOperation>(op_bytes), op_bytes);
  JournalOperation back;
  ASSERT_TRUE(DecodeEntry(op_bytes, &back));
  EXPECT_EQ(back.level.goods_file, op.goods_file);
  EXPECT_EQ(back.level.record_number, 3);
  EXPECT_EQ(back.level.code, "2000         ");
  EXPECT_EQ(back.level.stock, 4.75);
  EXPECT_STREQ(back.owner, "0310001");
  EXPECT_TRUE(back.kept);
  for (const std::string& bytes : {EncodeEntry(JournalWithdrawal{5, Level(70, 1, "100", 10)}),
                                   EncodeEntry(JournalStock{Level(71, 65000, "", 0.001)}),
                                   EncodeEntry(JournalGoodsFile{{1, 2}})}) {
    JournalEntry entry;
    ASSERT_TRUE(DecodeEntry(bytes, &entry));
    EXPECT_EQ(EncodeEntry(entry), bytes);
  }

  const std::string old_op = testing::InOlderFormat(op_bytes);
  ASSERT_LT(old_op.size(), op_bytes.size());
  ASSERT_TRUE(DecodeEntry(old_op, &back));
  EXPECT_EQ(back.id, 9u);
  EXPECT_EQ(back.record.quantity, 0.25);
  EXPECT_TRUE(back.stock_moved);
  EXPECT_EQ(back.goods_file, op.goods_file);
  EXPECT_FALSE(back.level.Moved());
  EXPECT_STREQ(back.owner, "");
  EXPECT_FALSE(back.kept);
  JournalWithdrawal withdrawal;
  ASSERT_TRUE(
      DecodeEntry(testing::InOlderFormat(EncodeEntry(JournalWithdrawal{5, {}})), &withdrawal));
  EXPECT_EQ(withdrawal.id, 5u);
  // An entry cut between the older fields' end and its own is refused.
  for (size_t cut = old_op.size() + 1; cut < op_bytes.size(); ++cut)
    EXPECT_FALSE(DecodeEntry(op_bytes.substr(0, cut), &back)) << cut;
}

// The latest level of every goods record moved since the goods file in
// service came into it; an operation written again (kept apart for its
// register) stands in place of its earlier entry.
TEST(JournalEntries, ReadBackKeepsTheLatestStockOfTheFileInService) {
  auto op = [](JournalId id, const StockLevel& level, const char* owner = "") {
    JournalOperation e;
    e.id = id;
    e.level = level;
    std::string_view(owner).copy(e.owner, kSerialNumberLength);
    return e;
  };
  JournalOperation kept = op(1, {}, "0310001");
  kept.kept = true;
  const JournalContents contents = ReadBack({
      EncodeEntry(JournalStock{Level(60, 1, "100", 3)}),  // a file gone since
      EncodeEntry(JournalGoodsFile{{7, 70}}),
      EncodeEntry(op(1, Level(70, 1, "100", 9), "0310001")),
      EncodeEntry(op(2, Level(70, 1, "100", 8))),
      EncodeEntry(JournalWithdrawal{2, Level(70, 1, "100", 9)}),
      EncodeEntry(JournalStock{Level(70, 3, "2000", 4)}),
      EncodeEntry(JournalStock{Level(71, 1, "100", 7)}),  // the next file
      EncodeEntry(JournalGoodsFile{{7, 70}}),             // and back
      EncodeEntry(kept),
  });
  ASSERT_EQ(contents.stock.size(), 2u);
  EXPECT_EQ(contents.stock[0].record_number, 1);
  EXPECT_EQ(contents.stock[0].stock, 9);
  EXPECT_EQ(contents.stock[1].record_number, 3);
  EXPECT_EQ(contents.stock[1].code, "2000");
  ASSERT_EQ(contents.operations.size(), 1u);
  EXPECT_TRUE(contents.operations[0].kept);
  EXPECT_FALSE(contents.operations[0].level.Moved());  // its level stays counted above
}

// A look at the journal names the registers whose operations it keeps
// apart: kept ones, and those sold on a register other than the one that
// identified at their line and network number last.
TEST(JournalEntries, ALookAtTheBytesCountsOperationsKeptForAnotherRegister) {
  auto op = [](JournalId id, uint8_t network, const char* owner, bool kept = false) {
    JournalOperation e;
    e.id = id;
    e.record.network_number = network;
    std::string_view(owner).copy(e.owner, kSerialNumberLength);
    e.kept = kept;
    return EncodeEntry(e);
  };
  const JournalTotals totals = CountJournal({
      op(1, 1, "0310001"),
      op(2, 1, "0310002"),
      op(3, 1, ""),  // sold before any identification: the register's own
      op(4, 2, "0310001", /*kept=*/true),
      op(5, 3, "0310005"),  // nobody else identified there
      EncodeEntry(JournalIdentification{0, 1, 0x26, "0310002"}),
  });
  EXPECT_EQ(totals.open_operations, 5);
  EXPECT_EQ(totals.kept, (std::map<std::string, int>{{"0310001", 2}}));
}

}  // namespace
}  // namespace tillgate
