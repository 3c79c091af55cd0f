// The status board: it must carry the store's figures as its transactions
// leave them.

#include "store/status_board.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::Request;
using testing::StoreTest;

TEST(StatusBoard, CountsChangesOnlyAndIgnoresIndexesOutsideItsTables) {
  StatusBoard board;
  const uint64_t start = board.Version();
  StoreStatus store;
  store.rows_written = 1;
  board.SetStore(store);
  RegisterTable registers;
  registers[1][1].pending_operations = 1;
  board.SetRegisters(registers);
  const uint64_t changed = board.Version();
  EXPECT_EQ(changed, start + 2);
  // The store publishes after every exchange step; the same figures again
  // are no change.
  board.SetStore(store);
  board.SetRegisters(registers);
  board.SetPortState(3, 0);
  // A stray index from a wire or a table writes nowhere.
  board.SetPortState(16, 2);
  board.SetPortHealth(-1, PortHealth::kOpen, "x");
  board.RegisterAnswered(0, 0, WallTime{});
  board.RegisterAnswered(0, 11, WallTime{});
  board.DocumentClosed(16, 1, 5);
  EXPECT_EQ(board.Version(), changed);
  const StatusSnapshot snapshot = board.Snapshot();
  EXPECT_EQ(snapshot.ports[3].name, "COM4");
  for (const auto& line : snapshot.registers)
    for (const RegisterStatus& r : line) EXPECT_FALSE(r.answered || r.closed_document);
}

class StoreOnTheBoard : public StoreTest {
 protected:
  void SetUp() override { PutGoods("tovars.dbf", testing::TwoGoods("100.000")); }
  StatusSnapshot Board() { return board_.Snapshot(); }
  StatusBoard board_;
};

TEST_F(StoreOnTheBoard, TheStoreLeavesItsFiguresAfterEveryTransaction) {
  MakeJournaledStore();
  store_->SetStatusBoard(&board_);
  EXPECT_TRUE(Board().store.goods_open);
  EXPECT_EQ(Board().store.goods_records, 2u);
  EXPECT_EQ(Board().store.journal, JournalHealth::kOk);
  Identification id;
  id.serial_number = "0012345";
  id.network_number = 4;
  id.line_index = 2;
  store_->ShowIdentification(id);
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 1, "100", 2)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 2, "300", 1)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "300", 1)).Served());
  EXPECT_EQ(Board().registers[2][3].pending_operations, 2);
  EXPECT_EQ(Board().registers[2][3].serial_number, "0012345");
  EXPECT_EQ(Board().registers[0][0].pending_operations, 1);
  // A repeated message takes its operation back.
  ASSERT_TRUE(store_->ServeGoods(Request(2, 4, 2, "300", 3)).withdrawn);
  EXPECT_EQ(Board().registers[2][3].pending_operations, 2);

  DocumentClose stamp;
  stamp.document_number = 77;
  stamp.day = 0x15;
  stamp.month = 0x03;
  EXPECT_EQ(store_->CloseDocument(2, 4, stamp), 2);
  StatusSnapshot now = Board();
  EXPECT_EQ(now.registers[2][3].pending_operations, 0);
  EXPECT_TRUE(now.registers[2][3].closed_document);
  EXPECT_EQ(now.registers[2][3].last_document, 77u);
  EXPECT_EQ(now.store.rows_written, 2u);
  EXPECT_EQ(now.store.rows_waiting, 0u);

  // Rows that cannot be written wait, and the board says how many.
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", Status::kNoSpace);
  EXPECT_EQ(store_->CloseDocument(0, 1, stamp), 1);
  EXPECT_EQ(Board().store.rows_waiting, 1u);
  fs_.Clear();
  store_->ExchangeReport();
  EXPECT_EQ(Board().store.rows_waiting, 0u);
  EXPECT_EQ(Board().store.rows_written, 3u);

  // A goods file that is gone when the store looks again shows at once.
  std::filesystem::remove(Goods("tovars.dbf"));
  Signal(Goods("tovars.exp"));
  store_->ExchangeGoods();
  EXPECT_FALSE(Board().store.goods_open);
}

TEST_F(StoreOnTheBoard, AJournalHeldByAnotherServerShowsAsHeld) {
  std::filesystem::create_directories(State(""));
  Journal other(&SystemFileSystem(), State(""));
  JournalRecovery ignored;
  ASSERT_TRUE(other.Open(&ignored).ok());
  MakeJournaledStore();
  store_->SetStatusBoard(&board_);
  EXPECT_EQ(Board().store.journal, JournalHealth::kHeld);
  other.Close();
  EXPECT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  EXPECT_EQ(Board().store.journal, JournalHealth::kOk);
}

}  // namespace
}  // namespace tillgate
