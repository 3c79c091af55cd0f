// The journal keeper alone, over a store that hands it fixed entries: what
// it writes, what it reads back and says, how it recovers from failures
// and when it rewrites the journal.

#include "store/journal_keeper.h"

#include <gtest/gtest.h>

#include <memory>

#include "config/event_collector.h"
#include "platform/fault_file_system.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ReadFile;
using testing::ScratchDir;

// The store as the keeper sees it: a fixed state to snapshot, and the
// contents of every journal opened.
class FakeHolder final : public JournalHolder {
 public:
  std::vector<JournalEntry> Snapshot() const override { return state; }
  RestoredFigures Restore(JournalContents contents) override {
    restored.push_back(std::move(contents));
    return figures;
  }

  std::vector<JournalEntry> state;
  std::vector<JournalContents> restored;
  RestoredFigures figures;
};

JournalOperation Operation(JournalId id) {
  JournalOperation e;
  e.id = id;
  e.record.network_number = 1;
  return e;
}

class Keeper : public ::testing::Test {
 protected:
  Keeper() : fs_(&SystemFileSystem()) {}
  JournalKeeper& Make() {
    keeper_.reset();  // its lock goes before the next one takes it
    keeper_ = std::make_unique<JournalKeeper>(&fs_, &events_, dir_.path(), &holder_);
    return *keeper_;
  }
  // The entries the journal file holds now.
  std::vector<std::string> OnDisk() { return ReadJournalBytes(ReadFile(Path())).entries; }
  std::string Path() { return dir_.File("journal"); }

  ScratchDir dir_;
  FaultFileSystem fs_;
  EventCollector events_;
  FakeHolder holder_;
  std::unique_ptr<JournalKeeper> keeper_;
};

TEST_F(Keeper, WithoutAFolderNothingIsKeptAndEveryWriteSucceeds) {
  JournalKeeper keeper(&fs_, &events_, "", &holder_);
  keeper.Open();
  EXPECT_FALSE(keeper.Kept());
  EXPECT_EQ(keeper.Health(), JournalHealth::kNone);
  EXPECT_TRUE(keeper.BringInStep());
  keeper.Add(JournalBooked{keeper.NewId()});
  EXPECT_TRUE(keeper.Write());
  keeper.Compact(true);
  EXPECT_EQ(keeper.File(), nullptr);
  EXPECT_TRUE(holder_.restored.empty());
  EXPECT_TRUE(events_.Events().empty());
  for (FsOp op : {FsOp::kOpen, FsOp::kCreate, FsOp::kWrite, FsOp::kMakeFolders})
    EXPECT_EQ(fs_.Calls(op), 0);
}

TEST_F(Keeper, WhatATransactionWritesComesBackAtTheNextOpen) {
  JournalKeeper& keeper = Make();
  keeper.Open();
  ASSERT_EQ(holder_.restored.size(), 1u);
  EXPECT_TRUE(events_.Has("journal " + Path() +
                          ": 0 open operation(s) and 0 waiting row(s) "
                          "restored"));
  EXPECT_EQ(keeper.Health(), JournalHealth::kOk);
  const JournalId sale = keeper.NewId();
  keeper.Add(Operation(sale));
  keeper.Add(JournalRegister{0, 1, 7, sale});
  ASSERT_TRUE(keeper.Write());
  EXPECT_EQ(OnDisk().size(), 2u);
  EXPECT_TRUE(keeper.Write());  // nothing added: nothing written
  EXPECT_EQ(OnDisk().size(), 2u);

  holder_.figures = {1, 0, 2};
  Make().Open();
  ASSERT_EQ(holder_.restored.size(), 2u);
  const JournalContents& back = holder_.restored.back();
  ASSERT_EQ(back.operations.size(), 1u);
  EXPECT_EQ(back.operations[0].id, sale);
  ASSERT_EQ(back.registers.size(), 1u);
  EXPECT_EQ(back.registers[0].last_operation, sale);
  // Ids go on after the highest one the journal holds.
  EXPECT_EQ(keeper_->NewId(), sale + 1);
  CollectedEvent said;
  ASSERT_TRUE(events_.Find("1 open operation(s) and 0 waiting row(s) restored", &said));
  EXPECT_EQ(said.text, "journal " + Path() +
                           ": 1 open operation(s) and 0 waiting row(s) restored; 2 operation(s) "
                           "found no free record and are lost");
  EXPECT_EQ(said.severity, Severity::kError);
}

TEST_F(Keeper, EntriesThatCannotBeReadAreSkippedAndSaid) {
  {
    Journal journal(&fs_, dir_.path());
    JournalRecovery ignored;
    ASSERT_TRUE(journal.Open(&ignored).ok());
    ASSERT_TRUE(journal.Append({EncodeEntry(Operation(4)), std::string("\x63junk")}).ok());
  }
  holder_.figures = {1, 0, 0};
  Make().Open();
  ASSERT_EQ(holder_.restored.size(), 1u);
  EXPECT_EQ(holder_.restored[0].unreadable, 1);
  EXPECT_TRUE(
      events_.Has(": 1 open operation(s) and 0 waiting row(s) restored; 1 entries could "
                  "not be read and were skipped"));
}

TEST_F(Keeper, AFailedWriteIsSaidOnceAndTheJournalIsRewrittenFromTheStore) {
  JournalKeeper& keeper = Make();
  keeper.Open();
  fs_.FailAlways(FsOp::kWrite, "/journal", Status::kNoSpace);
  fs_.FailAlways(FsOp::kCreate, "journal.new", Status::kNoSpace);
  keeper.Add(JournalBooked{keeper.NewId()});
  EXPECT_FALSE(keeper.Write());
  // As the store does it: nothing more is written until the journal holds
  // what the store holds.
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(keeper.BringInStep());
  EXPECT_EQ(keeper.Health(), JournalHealth::kFailing);
  EXPECT_EQ(events_.Count("journal " + Path() +
                          " cannot be written (No space left on device): goods messages are "
                          "refused and documents stay open until it can"),
            1);
  // Once it can be written, it holds what the store holds: no more, no less.
  fs_.Clear();
  holder_.state = {Operation(9), JournalBooked{3}};
  EXPECT_TRUE(keeper.BringInStep());
  EXPECT_TRUE(keeper.Working());
  EXPECT_EQ(OnDisk(),
            (std::vector<std::string>{EncodeEntry(Operation(9)), EncodeEntry(JournalBooked{3})}));
  CollectedEvent again;
  ASSERT_TRUE(events_.Find("journal " + Path() + " can be written again", &again));
  EXPECT_TRUE(again.cleared);
}

TEST_F(Keeper, AJournalHeldByAnotherServerIsTakenUpOnceItIsFree) {
  Journal other(&SystemFileSystem(), dir_.path());
  JournalRecovery ignored;
  ASSERT_TRUE(other.Open(&ignored).ok());
  ASSERT_TRUE(other.Append({EncodeEntry(Operation(5))}).ok());
  JournalKeeper& keeper = Make();
  keeper.Open();
  EXPECT_FALSE(keeper.IsOpen());
  EXPECT_EQ(keeper.Health(), JournalHealth::kHeld);
  EXPECT_TRUE(events_.Has("is held by another server"));
  EXPECT_FALSE(keeper.BringInStep());
  EXPECT_TRUE(holder_.restored.empty());
  other.Close();
  EXPECT_TRUE(keeper.BringInStep());
  ASSERT_EQ(holder_.restored.size(), 1u);  // what it held reaches the store
  ASSERT_EQ(holder_.restored[0].operations.size(), 1u);
  EXPECT_EQ(holder_.restored[0].operations[0].id, 5u);
  EXPECT_EQ(keeper.Health(), JournalHealth::kOk);
}

TEST_F(Keeper, OnlyAMostlyDeadJournalIsRewritten) {
  JournalKeeper& keeper = Make();
  keeper.Open();
  for (int i = 0; i < 10; ++i) keeper.Add(JournalBooked{keeper.NewId()});
  ASSERT_TRUE(keeper.Write());
  // More than a quarter of it still counts: left as it is.
  holder_.state.assign(3, JournalBooked{1});
  keeper.Compact(false);
  EXPECT_EQ(OnDisk().size(), 10u);
  // A quarter or less: rewritten; then not looked at again until it has
  // grown past 64 KB.
  JournalKeeper& next = Make();
  next.Open();
  holder_.state = {JournalBooked{1}};
  next.Compact(false);
  EXPECT_EQ(OnDisk().size(), 1u);
  for (int i = 0; i < 10; ++i) next.Add(JournalBooked{next.NewId()});
  ASSERT_TRUE(next.Write());
  next.Compact(false);
  EXPECT_EQ(OnDisk().size(), 11u);
  // At a start only when something in it is dead, and then all of it goes.
  holder_.state.assign(11, JournalBooked{1});
  next.Compact(true);
  EXPECT_EQ(OnDisk().size(), 11u);
  holder_.state.assign(9, JournalBooked{1});
  next.Compact(true);
  EXPECT_EQ(OnDisk().size(), 9u);
}

// An entry that cannot be read is dead: a start's rewrite drops it even
// when what still counts takes more room written anew.
TEST_F(Keeper, AStartDropsEntriesThatCannotBeRead) {
  {
    Journal journal(&fs_, dir_.path());
    JournalRecovery ignored;
    ASSERT_TRUE(journal.Open(&ignored).ok());
    ASSERT_TRUE(journal.Append({std::string("\x63junk")}).ok());
  }
  JournalKeeper& keeper = Make();
  keeper.Open();
  EXPECT_TRUE(events_.Has("1 entries could not be read and were skipped"));
  holder_.state = {Operation(1), Operation(2)};
  keeper.Compact(true);
  ASSERT_EQ(OnDisk().size(), 2u);
  EXPECT_EQ(EntryType(OnDisk()[0]), int(JournalEntryType::kOperation));
  // Only once: a start after it has nothing dead to drop.
  const std::string rewritten = ReadFile(Path());
  Make().Open();
  keeper_->Compact(true);
  EXPECT_EQ(ReadFile(Path()), rewritten);
}

}  // namespace
}  // namespace tillgate
