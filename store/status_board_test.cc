// The status board and its JSON: what a monitoring tool reads must be
// valid whatever a register or a device name holds, list the registers that
// matter, and carry the store's figures as its transactions leave them.

#include "store/status_board.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "store/status_json.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::Request;
using testing::StoreTest;

TEST(StatusJson, TextStaysValidJsonWhateverItHolds) {
  EXPECT_EQ(JsonString("COM1"), "\"COM1\"");
  EXPECT_EQ(JsonString("a \"b\" \\ c"), "\"a \\\"b\\\" \\\\ c\"");
  EXPECT_EQ(JsonString(std::string("line\none\ttab\x7f", 13)),
            "\"line\\u000Aone\\u0009tab\\u007F\"");
  EXPECT_EQ(JsonString("Касса"), "\"Касса\"");
  // A register's bytes that are not UTF-8 (code page 866 here) are shown,
  // not passed on to break the reader.
  EXPECT_EQ(JsonString("\x8a\xa0"), "\"\\\\x8A\\\\xA0\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(JsonTime(std::chrono::system_clock::from_time_t(1796630706)), "2026-12-07T08:05:06Z");
}

TEST(StatusJson, ListsEveryPortAndOnlyRegistersThatAnsweredOrHoldADocument) {
  StatusBoard board;
  board.SetPort(0, "COM1", "/dev/ttyUSB0");
  board.SetPortState(0, 2);
  board.SetPortHealth(0, PortHealth::kOpenFailed, "port failed to open: open: Permission denied");
  board.SetPortHealth(0, PortHealth::kOpen);  // back: the error is still told
  const WallTime answered = std::chrono::system_clock::from_time_t(1796630706);
  board.RegisterAnswered(0, 3, answered);
  board.DocumentClosed(0, 3, 258);
  RegisterTable registers;
  registers[0][2].serial_number = "0310001";
  registers[4][9].pending_operations = 2;     // restored, not heard from yet
  registers[7][0].serial_number = "0000009";  // known, but neither
  board.SetRegisters(registers);
  StoreStatus store;
  store.goods_open = true;
  store.goods_records = 21;
  store.rows_written = 7;
  store.rows_waiting = 3;
  store.journal = JournalHealth::kFailing;
  board.SetStore(store);

  StatusFileHeader header;
  header.version = "1.2.3";
  header.pid = 42;
  header.started = answered - std::chrono::seconds(60);
  header.written = answered + std::chrono::seconds(1);
  const std::string json = StatusJson(board.Snapshot(), header);
  EXPECT_NE(json.find("\"version\": \"1.2.3\",\n  \"pid\": 42,\n  \"started\": "
                      "\"2026-12-07T08:04:06Z\",\n  \"written\": \"2026-12-07T08:05:07Z\",\n  "
                      "\"running\": true,\n"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"number\": 1, \"name\": \"COM1\", \"device\": \"/dev/ttyUSB0\", "
                      "\"state\": 2, \"line\": true, \"open\": true, \"condition\": \"open\", "
                      "\"last_error\": \"port failed to open: open: Permission denied\", "
                      "\"last_error_time\": \"20"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"number\": 16, \"name\": \"COM16\", \"device\": \"\", \"state\": 0, "
                      "\"line\": false, \"open\": false, \"condition\": \"none\", \"last_error\": "
                      "null, \"last_error_time\": null}\n  ],"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("  \"registers\": [\n    {\"port\": 1, \"network_number\": 3, "
                      "\"serial_number\": \"0310001\", \"last_answer\": \"2026-12-07T08:05:06Z\", "
                      "\"last_document\": 258, \"document_open\": false, \"pending_operations\": "
                      "0},\n    {\"port\": 5, \"network_number\": 10, \"serial_number\": null, "
                      "\"last_answer\": null, \"last_document\": null, \"document_open\": true, "
                      "\"pending_operations\": 2}\n  ],\n"),
            std::string::npos)
      << json;
  EXPECT_NE(
      json.find("  \"store\": {\"goods_file\": true, \"goods_records\": 21, \"report_file\": "
                "false, \"rows_written\": 7, \"rows_waiting\": 3, \"journal\": \"failing\"}\n}\n"),
      std::string::npos)
      << json;
}

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

  DocumentStamp stamp;
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
  fs_.FailAlways(FsOp::kWrite, "otchet.dbf", FsStatus::kNoSpace);
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
  Journal other(PosixFileSystem(), State(""));
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
