// The stock in tovars.dbf through a crash at every write and every sync of
// a short sale sequence, and through a power cut that loses whatever the
// goods file had not synced: after the restart, and the register sending
// again what was not answered, every goods' stock is its stock at the start
// minus the net of the operations answered, each counted once.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "store/journal.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::Request;
using testing::SampleGoods;

// One goods message or the document's close; a repeat sends the last
// message again with its sequence byte.
struct Message {
  enum Kind { kGoods, kRepeat, kClose } kind;
  GoodsRequest request;
};

GoodsRequest Barcode(uint8_t sequence, const char* barcode, double quantity) {
  GoodsRequest r = Request(0, 1, sequence, barcode, quantity, kOpSaleByBarcode);
  r.lookup_kind = kLookupByBarcode;
  return r;
}

// Bread (record 1, 10 in stock), Cheese (record 3, 5 in stock).
const std::vector<Message> kSequence = {
    {Message::kGoods, Request(0, 1, 1, "100", 1)},
    {Message::kGoods, Barcode(2, "4600000000011", 2)},
    {Message::kRepeat, {}},
    {Message::kGoods, Request(0, 1, 3, "2000", 0.25)},
    {Message::kGoods, Request(0, 1, 4, "100", 1, kOpReturn)},
    {Message::kClose, {}},
};
constexpr char kBreadAfter[] = "     8.000";
constexpr char kCheeseAfter[] = "     4.750";

class StockCrash : public testing::StoreTest {
 protected:
  void Start() { MakeJournaledStore(/*track_stock=*/true); }

  // The process died (and with `power_cut_` the machine with it): a new
  // store starts on what the disk holds.
  void Restart() {
    store_.reset();
    fs_.Clear();
    if (power_cut_) fs_.LoseUnsynced();
    Start();
    ++restarts_;
  }

  // Sends until the register has its answer, as a register does: the same
  // message again after a crash.
  void Send(const Message& m, GoodsRequest* last) {
    const GoodsRequest request = m.kind == Message::kRepeat ? *last : m.request;
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (m.kind == Message::kClose) {
        DocumentClose close;
        close.document_number = 7;
        close.day = 0x15;
        close.month = 0x03;
        const int rows = store_->CloseDocument(0, 1, close);
        if (fs_.Crashed()) {
          Restart();
          continue;
        }
        // 0 when it had been closed before the crash: its rows wait.
        EXPECT_GE(rows, 0);
        return;
      }
      const GoodsOutcome outcome = store_->ServeGoods(request);
      if (fs_.Crashed()) {
        Restart();
        continue;
      }
      EXPECT_TRUE(outcome.Served());
      *last = request;
      return;
    }
    ADD_FAILURE() << "never answered";
  }

  // The whole sequence from a fresh shop; the writes and syncs it made.
  int Run(int crash_at) {
    store_.reset();
    std::filesystem::remove_all(state_dir_.path());
    std::filesystem::create_directory(state_dir_.path());
    std::filesystem::remove(Reports("otchet.dbf"));
    PutGoods("tovars.dbf", SampleGoods());
    fs_.Clear();
    fs_.KeepDurable("/tovars.dbf");
    restarts_ = 0;
    Start();
    const int before = fs_.Calls(FsOp::kWrite) + fs_.Calls(FsOp::kSync);
    if (crash_at > 0) fs_.CrashAtStep(crash_at);
    GoodsRequest last;
    for (const Message& m : kSequence) Send(m, &last);
    const int steps = fs_.Calls(FsOp::kWrite) + fs_.Calls(FsOp::kSync) - before;
    // And once more, cleanly: a replay that moved the stock again would
    // show now.
    Restart();
    return steps;
  }

  bool power_cut_ = false;
  int restarts_ = 0;
};

TEST_F(StockCrash, StockIsRightAfterACrashAtAnyWriteOrSync) {
  const int steps = Run(0);
  ASSERT_EQ(SampleRes(1), kBreadAfter);
  ASSERT_EQ(SampleRes(3), kCheeseAfter);
  ASSERT_GT(steps, 10);
  RecordProperty("steps", steps);
  int wrong = 0;
  for (const bool power_cut : {false, true}) {
    power_cut_ = power_cut;
    for (int n = 1; n <= steps; ++n) {
      Run(n);
      const std::string what = std::string(power_cut ? "power cut" : "crash") + " at step " +
                               std::to_string(n) + " of " + std::to_string(steps);
      EXPECT_EQ(restarts_, 2) << what;
      EXPECT_EQ(SampleRes(1), kBreadAfter) << what;
      EXPECT_EQ(SampleRes(3), kCheeseAfter) << what;
      EXPECT_EQ(testing::ReadDbfRecords(Reports("otchet.dbf")).size(), 4u) << what;
      wrong += SampleRes(1) != kBreadAfter || SampleRes(3) != kCheeseAfter;
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << 2 * steps << " crash points";
}

// A power cut after answered sales, with none of their stock on the disk:
// the journal puts it back, once, and says so.
TEST_F(StockCrash, ThePowerCutLosesNoAnsweredStock) {
  power_cut_ = true;
  PutGoods("tovars.dbf", SampleGoods());
  fs_.KeepDurable("/tovars.dbf");
  Start();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1.5)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "2000", 1)).Served());
  ASSERT_EQ(SampleRes(1), "     8.500");
  Restart();
  EXPECT_EQ(SampleRes(1), "     8.500");
  EXPECT_EQ(SampleRes(3), "     4.000");
  EXPECT_EQ(events_.Count("the stock of 2 goods record(s) in tovars.dbf put back"), 1);
  // The register had its answers: a new message sells once more.
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 3, "100", 1)).Served());
  EXPECT_EQ(SampleRes(1), "     7.500");
}

// A journal an older version wrote (operations without stock levels or
// owners) still replays: its open sales stay open with the stock the goods
// file holds, and taking one back gives its stock back, once.
TEST_F(StockCrash, AJournalOfTheOlderFormatStillReplays) {
  PutGoods("tovars.dbf", SampleGoods());
  Start();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 2)).Served());
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "2000", 1)).Served());
  store_.reset();
  {
    Journal journal(&fs_, state_dir_.path());
    JournalRecovery recovery;
    ASSERT_TRUE(journal.Open(&recovery).ok());
    std::vector<std::string> older;
    for (const std::string& entry : recovery.entries)
      if (std::string bytes = testing::InOlderFormat(entry); !bytes.empty())
        older.push_back(std::move(bytes));
    ASSERT_TRUE(journal.Rewrite(older).ok());
  }
  Start();
  EXPECT_EQ(SampleRes(1), "     8.000");
  EXPECT_EQ(SampleRes(3), "     4.000");
  // The register sends its last message again: the cheese is taken back
  // and sold once more.
  const GoodsOutcome again = store_->ServeGoods(Request(0, 1, 2, "2000", 1));
  EXPECT_TRUE(again.Served());
  EXPECT_TRUE(again.withdrawn);
  EXPECT_EQ(SampleRes(3), "     4.000");
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 3, "100", 2, kOpVoid)).Served());
  EXPECT_EQ(SampleRes(1), "    10.000");
  EXPECT_EQ(store_->CloseDocument(0, 1, testing::CloseOf(testing::Stamp("", 8, 0x26, 3, 0x15))), 3);
  Restart();
  EXPECT_EQ(SampleRes(1), "    10.000");
  EXPECT_EQ(SampleRes(3), "     4.000");
}

// Stock the goods file lost in a power cut waits in the journal while the
// goods file is out of service, through further starts, and is put back
// when it is in service again.
TEST_F(StockCrash, LostStockWaitsForItsGoodsFile) {
  PutGoods("tovars.dbf", SampleGoods());
  fs_.KeepDurable("/tovars.dbf");
  Start();
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 1, "100", 1.5)).Served());
  store_.reset();
  fs_.LoseUnsynced();
  ASSERT_EQ(SampleRes(1), "    10.000");
  const std::string away = state_dir_.File("tovars.dbf");
  std::filesystem::rename(Goods("tovars.dbf"), away);
  Start();
  Start();  // and a start's compaction keeps it
  std::filesystem::rename(away, Goods("tovars.dbf"));
  EXPECT_TRUE(store_->ExchangeGoods());
  EXPECT_EQ(SampleRes(1), "     8.500");
  EXPECT_TRUE(events_.Has("the stock of 1 goods record(s) in tovars.dbf put back"));
  ASSERT_TRUE(store_->ServeGoods(Request(0, 1, 2, "100", 1)).Served());
  Restart();
  EXPECT_EQ(SampleRes(1), "     7.500");
}

}  // namespace
}  // namespace tillgate
