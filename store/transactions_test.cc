// The store's transactions as the lines call them: whole goods messages and
// document closes, alone and from many threads at once.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::Request;
using testing::StoreTest;

DocumentStamp Stamp(uint32_t line, uint8_t network, uint32_t document) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%03u%04u", line, network);
  return testing::Stamp(serial, document, 0x26, 0x12, 0x07);
}

class Transactions : public StoreTest {
 protected:
  // With its journal, as the server runs it: every transaction writes it.
  void SetUp() override {
    PutGoods("tovars.dbf", testing::TwoGoods("100000.000"));
    MakeJournaledStore(true);
  }
};

// What the line makes its answer and event lines of; the rules themselves
// are exercised through the line in the decoding tests.
TEST_F(Transactions, TheOutcomeCarriesTheAnswerAndWhatWasTakenBack) {
  GoodsOutcome cheese = store_->ServeGoods(Request(4, 2, 1, "300", 1.005, kOpReturn));
  ASSERT_TRUE(cheese.Served());
  EXPECT_EQ(cheese.goods.kopecks, 99u);  // 99.495 kopecks
  EXPECT_STREQ(cheese.goods.name, "Cheese                        ");
  EXPECT_DOUBLE_EQ(cheese.goods.price, 0.99);
  EXPECT_DOUBLE_EQ(cheese.goods.quantity, 1.005);
  EXPECT_EQ(cheese.goods.section, '3');
  EXPECT_EQ(cheese.goods.operation_code, kOpReturn);
  // The report keeps the amount the register charged.
  EXPECT_DOUBLE_EQ(Pool().Record(Pool().Head()).amount, 0.99);

  GoodsOutcome again = store_->ServeGoods(Request(4, 2, 1, "300", 2));
  ASSERT_TRUE(again.Served());
  EXPECT_TRUE(again.withdrawn);
  EXPECT_EQ(again.withdrawn_operation, kOpReturn);
  EXPECT_STREQ(again.withdrawn_code, "300");
  EXPECT_DOUBLE_EQ(Stock(2), 99998);  // the return taken back, the sale made

  GoodsOutcome missing = store_->ServeGoods(Request(4, 2, 2, "999", 1));
  EXPECT_EQ(missing.refusal, GoodsRefusal::kNotFound);
  EXPECT_TRUE(missing.looked_up);  // the waits after a look-up follow
  // Goods that are there but not in that quantity are told apart.
  EXPECT_EQ(store_->ServeGoods(Request(4, 2, 3, "300", 100000)).refusal, GoodsRefusal::kOutOfStock);
  EXPECT_DOUBLE_EQ(Stock(2), 99998);
  // A line or network number from outside the table touches nothing.
  EXPECT_EQ(store_->ServeGoods(Request(16, 1, 1, "300", 1)).refusal, GoodsRefusal::kNoRegister);
  EXPECT_EQ(store_->ServeGoods(Request(0, 11, 1, "300", 1)).refusal, GoodsRefusal::kNoRegister);
  EXPECT_EQ(Pool().PendingCount(), 1);
  EXPECT_EQ(Close(4, 2, Stamp(4, 2, 1)), 1);
  // Nothing of the store's own records reaches a refusal.
  EXPECT_EQ(missing.goods.name[0], 0);
  EXPECT_EQ(missing.goods.kopecks, 0u);
}

// Many registers on many lines selling, repeating, voiding and closing at
// once, with the exchange steps and the goods view running beside them:
// every register's rows reach the report once and in its order, and the
// stock is exactly what the operations moved.
TEST_F(Transactions, RegistersOnManyThreadsKeepEveryRule) {
  constexpr int kThreads = 8;
  constexpr int kDocuments = 12;
  views_.diagnostics.SetCell(0, 0, "heading");
  store_->SetViews(&views_.goods, &views_.report, &views_.diagnostics);
  std::vector<std::thread> registers;
  for (int t = 0; t < kThreads; ++t) {
    registers.emplace_back([this, t] {
      const uint32_t line = static_cast<uint32_t>(t * 2);
      const uint8_t network = static_cast<uint8_t>(1 + t % 10);
      uint8_t sequence = 0;
      store_->ShowIdentification({"COM" + std::to_string(line + 1), "EKR",
                                  Stamp(line, network, 0).serial_number, network, line, 0x26});
      for (int d = 1; d <= kDocuments; ++d) {
        store_->ServeGoods(Request(line, network, ++sequence, "100", 2));
        store_->ServeGoods(Request(line, network, sequence, "100", 3));  // repeated: 3 stays
        store_->ServeGoods(Request(line, network, ++sequence, "300", 0.5, kOpReturn));
        store_->ServeGoods(Request(line, network, ++sequence, "100", 1, kOpVoid));
        store_->ServeGoods(Request(line, network, ++sequence, "100", 5, kOpVoid));  // refused
        store_->CloseDocument(line, network,
                              testing::CloseOf(Stamp(line, network, static_cast<uint32_t>(d))));
      }
    });
  }
  std::atomic<bool> done{false};
  std::thread supervisor([&] {
    while (!done) {
      store_->ExchangeReport();
      store_->ExchangeGoods();
      store_->FillGoodsView();
    }
  });
  for (std::thread& r : registers) r.join();
  done = true;
  supervisor.join();

  EXPECT_EQ(Pool().PendingCount(), 0);
  const auto rows = testing::ReadDbfRecords(Reports("otchet.dbf"));
  ASSERT_EQ(rows.size(), static_cast<size_t>(kThreads * kDocuments * 3));
  for (int t = 0; t < kThreads; ++t) {
    const std::string bank = Stamp(static_cast<uint32_t>(t * 2), 1 + t % 10, 0).serial_number;
    std::vector<std::string> seen;
    for (const auto& row : rows)
      if (row.at("BANK") == bank)
        seen.push_back(row.at("CHECK") + " " + row.at("OPERATE") + row.at("CODE") + " " +
                       row.at("QUANTY"));
    std::vector<std::string> expected;
    for (int d = 1; d <= kDocuments; ++d) {
      const std::string check = std::to_string(d);
      expected.push_back(check + " 1100 3.000");
      expected.push_back(check + " 3300 0.500");
      expected.push_back(check + " 4100 1.000");
    }
    EXPECT_EQ(seen, expected) << bank;
  }
  EXPECT_DOUBLE_EQ(Stock(1), 100000 - kThreads * kDocuments * (3 - 1));
  EXPECT_DOUBLE_EQ(Stock(2), 100000 + kThreads * kDocuments * 0.5);
  int listed = 0;
  for (int row = 1; row <= 15; ++row) listed += views_.diagnostics.Cell(2, row).empty() ? 0 : 1;
  EXPECT_EQ(listed, kThreads);  // each register in a row of its own
  // Nothing is left open: the next start, like the first, finds nothing.
  MakeJournaledStore(true);
  EXPECT_EQ(events_.Count(": 0 open operation(s) and 0 waiting row(s) restored"), 2);
}

// The diagnostics view changes only inside the store: registers listed as
// they identify, the overflow row 15 taken by every later one, all of them
// cleared by a Start.
TEST_F(Transactions, IdentificationsListedAndClearedByTheStore) {
  views_.diagnostics.SetCell(0, 0, "heading");
  store_->SetViews(&views_.goods, &views_.report, &views_.diagnostics);
  for (uint8_t i = 1; i <= 16; ++i)
    store_->ShowIdentification({"COM1", "EKR", std::string("000000") + char('A' + i - 1),
                                static_cast<uint8_t>(1 + i % 10), 0, 0x26});
  EXPECT_EQ(views_.diagnostics.Cell(2, 1), "000000A");
  EXPECT_EQ(views_.diagnostics.Cell(2, 14), "000000N");
  EXPECT_EQ(views_.diagnostics.Cell(2, 15), "000000P");
  views_.diagnostics.SetCell(4, 15, "spare column");
  store_->ClearDiagnostics();
  EXPECT_EQ(views_.diagnostics.Cell(0, 0), "heading");
  for (int row = 1; row <= 15; ++row)
    for (int column = 0; column < kDiagnosticsColumns; ++column)
      EXPECT_EQ(views_.diagnostics.Cell(column, row), "") << column << "," << row;
  // What the registers told of themselves is kept for their documents.
  ASSERT_TRUE(store_->ServeGoods(Request(0, 2, 1, "100", 1)).Served());
  ASSERT_EQ(store_->CloseDocument(0, 2, testing::CloseOf(Stamp(0, 2, 9))), 1);
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet.dbf")).back().at("BANK"), "000000K");
  store_->ShowIdentification({"COM1", "EKR", "0000099", 3, 0, 0x26});
  EXPECT_EQ(views_.diagnostics.Cell(2, 1), "0000099");
}

// A serial number is kept as the register sent it, zero bytes included:
// the report shows those as "J", the view and the board the text before
// them.
TEST_F(Transactions, ASerialNumberIsKeptByteForByte) {
  views_.diagnostics.SetCell(0, 0, "heading");
  store_->SetViews(&views_.goods, &views_.report, &views_.diagnostics);
  StatusBoard board;
  store_->SetStatusBoard(&board);
  store_->ShowIdentification({"COM1", "EKR",
                              std::string("12\0"
                                          "4567",
                                          7),
                              1, 0, 0x26});
  EXPECT_EQ(views_.diagnostics.Cell(2, 1), "12");
  EXPECT_EQ(board.Snapshot().registers[0][0].serial_number, "12");
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1)).Served());
  ASSERT_EQ(store_->CloseDocument(0, 1, testing::CloseOf(Stamp(0, 1, 1))), 1);
  EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet.dbf")).at(0).at("BANK"), "12J4567");
}

TEST(StoreWithoutFolders, TouchesNoFile) {
  testing::EventList events;
  FaultFileSystem fs(&SystemFileSystem());
  TDB store("", "", fs, &events);
  EXPECT_FALSE(store.ExchangeGoods());
  EXPECT_FALSE(store.ExchangeReport());
  store.FillGoodsView();
  EXPECT_EQ(store.ServeGoods(Request(0, 1, 1, "1", 1)).refusal, GoodsRefusal::kNoGoodsFile);
  // A pending operation's document goes nowhere.
  TdbProbe(store).Pool().Current().network_number = 1;
  TdbProbe(store).Pool().Commit();
  EXPECT_EQ(store.CloseDocument(0, 1, DocumentClose{}), 1);
  for (FsOp op : {FsOp::kExists, FsOp::kOpen, FsOp::kCreate, FsOp::kUnlink, FsOp::kRename,
                  FsOp::kRead, FsOp::kWrite})
    EXPECT_EQ(fs.Calls(op), 0);
}

}  // namespace
}  // namespace tillgate
