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
  GoodsOutcome cheese = store_->ServeGoods(Request(4, 2, 1, "300", 1.005));
  ASSERT_TRUE(cheese.Served());
  EXPECT_EQ(cheese.kopecks, 99u);  // 99.495 kopecks
  EXPECT_DOUBLE_EQ(cheese.record.amount, 0.99);
  EXPECT_STREQ(cheese.record.name, "Cheese                        ");

  GoodsOutcome again = store_->ServeGoods(Request(4, 2, 1, "300", 2));
  ASSERT_TRUE(again.Served());
  EXPECT_TRUE(again.withdrawn);
  EXPECT_EQ(again.withdrawn_operation, kOpSaleByCode);
  EXPECT_STREQ(again.withdrawn_code, "300");
  EXPECT_DOUBLE_EQ(Stock(2), 99998);

  GoodsOutcome missing = store_->ServeGoods(Request(4, 2, 2, "999", 1));
  EXPECT_EQ(missing.refusal, GoodsRefusal::kNotFound);
  EXPECT_TRUE(missing.looked_up);  // the waits after a look-up follow
  // Goods that are there but not in that quantity are told apart.
  EXPECT_EQ(store_->ServeGoods(Request(4, 2, 3, "300", 100000)).refusal, GoodsRefusal::kOutOfStock);
  EXPECT_DOUBLE_EQ(Stock(2), 99998);
  // A line or network number from outside the table touches nothing.
  EXPECT_EQ(store_->ServeGoods(Request(16, 1, 1, "300", 1)).refusal, GoodsRefusal::kNoRegister);
  EXPECT_EQ(store_->ServeGoods(Request(0, 11, 1, "300", 1)).refusal, GoodsRefusal::kNoRegister);
  EXPECT_EQ(store_->PendingCount(), 1);
  EXPECT_EQ(store_->CloseDocument(4, 2, Stamp(4, 2, 1)), 1);
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
                                  Stamp(line, network, 0).serial_number, network});
      for (int d = 1; d <= kDocuments; ++d) {
        store_->ServeGoods(Request(line, network, ++sequence, "100", 2));
        store_->ServeGoods(Request(line, network, sequence, "100", 3));  // repeated: 3 stays
        store_->ServeGoods(Request(line, network, ++sequence, "300", 0.5, kOpReturn));
        store_->ServeGoods(Request(line, network, ++sequence, "100", 1, kOpVoid));
        store_->ServeGoods(Request(line, network, ++sequence, "100", 5, kOpVoid));  // refused
        store_->CloseDocument(line, network, Stamp(line, network, static_cast<uint32_t>(d)));
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

  EXPECT_EQ(store_->PendingCount(), 0);
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

}  // namespace
}  // namespace tillgate
