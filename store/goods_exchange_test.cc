#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::FileExists;
using testing::SampleGoods;
using testing::StoreTest;

class GoodsExchange : public StoreTest {};

DbfImage WithField(DbfImage image, const std::string& name, int length, char type = 'C') {
  for (auto& f : image.fields)
    if (f.name == name) {
      f.length = length;
      f.type = type;
    }
  return image;
}

TEST_F(GoodsExchange, NoGoodsFileThenPickedUpAtTheNextStep) {
  TDB& store = MakeStore();
  EXPECT_FALSE(store.GoodsOpen());
  EXPECT_EQ(LookUpCode("100", 1).name[0], 0);
  EXPECT_EQ(store.LookUp(store.Current()), LookUpResult::kNoGoodsFile);
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(store.ExchangeGoods());
  // Said once, as a lasting condition, until the file is there.
  CollectedEvent missing;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf is missing", &missing));
  EXPECT_EQ(events_.Count("goods file tovars.dbf is missing"), 1);
  EXPECT_EQ(missing.condition, "goods file");
  EXPECT_EQ(missing.severity, Severity::kError);
  PutGoods("tovars.dbf", SampleGoods());
  EXPECT_TRUE(store.ExchangeGoods());
  CollectedEvent opened;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf opened", &opened));
  EXPECT_TRUE(opened.cleared);
  const OperationRecord& r = LookUpCode("100", 2);
  EXPECT_STREQ(r.name, "Bread                         ");
  EXPECT_EQ(r.goods_record_number, 1);
  EXPECT_EQ(r.section, '1');
  EXPECT_DOUBLE_EQ(r.price, 12.5);
  EXPECT_DOUBLE_EQ(r.amount, 2500);
}

// A goods file damaged past its header: one cut short by a copy that did
// not finish is served with a warning, and a file that cannot be read is
// told apart from goods that are not there.
TEST_F(GoodsExchange, ADamagedGoodsFileSaysWhy) {
  const std::string whole = SampleGoods().Bytes();
  const size_t record = static_cast<size_t>(SampleGoods().RecordLength());
  // The last record is missing.
  PutGoods("tovars.dbf", SampleGoods());
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, whole.size() - record));
  TDB& store = MakeStore();
  ASSERT_TRUE(store.GoodsOpen());
  CollectedEvent cut;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf is cut short", &cut));
  EXPECT_EQ(cut.text,
            "goods file tovars.dbf is cut short: its header counts 5 records, 4 are there; goods "
            "in the missing records are not found");
  EXPECT_EQ(cut.severity, Severity::kWarning);
  uint8_t sequence = 0;
  const auto serve = [&](const char* code) {
    return store.ServeGoods(testing::Request(0, 1, ++sequence, code, 1)).refusal;
  };
  EXPECT_EQ(serve("77"), GoodsRefusal::kNone);
  EXPECT_EQ(serve("5"), GoodsRefusal::kNotFound);
  damaged_goods_ = true;

  fs_.FailNth(FsOp::kRead, 1, "tovars.dbf", 2, Status(Status::kError));
  EXPECT_EQ(serve("77"), GoodsRefusal::kUnreadable);
  EXPECT_EQ(serve("77"), GoodsRefusal::kUnreadable);
  EXPECT_EQ(serve("77"), GoodsRefusal::kNone);
  std::vector<CollectedEvent> goods;
  for (const CollectedEvent& e : events_.Events())
    if (e.condition == "goods file") goods.push_back(e);
  ASSERT_EQ(goods.size(), 3u);  // opened, cannot be read (once), read again
  EXPECT_EQ(goods[1].text,
            "goods file tovars.dbf cannot be read (Input/output error): goods messages are "
            "refused while it cannot");
  EXPECT_EQ(goods[1].severity, Severity::kError);
  EXPECT_EQ(goods[2].text, "goods file tovars.dbf can be read again");
  EXPECT_TRUE(goods[2].cleared);

  // Cut down to less than a header later: the reason is that, not the read
  // error that has passed.
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, 10));
  EXPECT_EQ(serve("77"), GoodsRefusal::kUnreadable);
  EXPECT_TRUE(events_.Has("goods file tovars.dbf cannot be read (its header is cut short)"));
}

// The same short file opened again and again (a signal that cannot be
// removed reopens it at every step) is told once; another shortfall is told
// again.
TEST_F(GoodsExchange, AGoodsFileCutShortIsToldOnceUntilItChanges) {
  const std::string whole = SampleGoods().Bytes();
  const size_t record = static_cast<size_t>(SampleGoods().RecordLength());
  PutGoods("tovars.dbf", SampleGoods());
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, whole.size() - record));
  TDB& store = MakeStore();
  damaged_goods_ = true;
  testing::WriteFile(Goods("tovars.exp"), "");
  fs_.FailAlways(FsOp::kUnlink, "tovars.exp", Status(Status::kError, "Permission denied"));
  for (int step = 0; step < 5; ++step) EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_EQ(events_.Count("goods file tovars.dbf is cut short"), 1);
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, whole.size() - 2 * record));
  for (int step = 0; step < 3; ++step) EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_EQ(events_.Count("goods file tovars.dbf is cut short"), 2);
  EXPECT_TRUE(events_.Has("its header counts 5 records, 3 are there"));
  // Whole again, then short again: told again.
  testing::WriteFile(Goods("tovars.dbf"), whole);
  EXPECT_TRUE(store.ExchangeGoods());
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, whole.size() - 2 * record));
  EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_EQ(events_.Count("goods file tovars.dbf is cut short"), 3);
}

TEST_F(GoodsExchange, LayoutsOutsideTheLimitsAreRejected) {
  struct Case {
    const char* what;
    DbfImage image;
  };
  DbfImage long_record = SampleGoods();
  long_record.fields.push_back({"PAD", 'C', 300 - long_record.RecordLength()});
  DbfImage zero_length = SampleGoods();
  zero_length.record_length = 0;
  DbfImage short_record = SampleGoods();
  short_record.record_length = 60;  // the fields declare 79
  DbfImage short_header = SampleGoods();
  short_header.header_length = 32;
  DbfImage no_name = SampleGoods();
  no_name.fields[1].name = "TITLE";
  // What the event line says is wrong.
  const Case cases[] = {
      {"field CODE is 26 long, at most 25 is usable", WithField(SampleGoods(), "CODE", 26)},
      {"record length 300 is not 1..299", long_record},
      {"record length 0 is not 1..299", zero_length},
      {"its fields do not fit its record length 60", short_record},
      {"header length 32 is below 33", short_header},
      {"field NAME is missing", no_name},
      {"field PRICE is 26 long", WithField(SampleGoods(), "PRICE", 26, 'N')},
      {"field DIVNUM is missing", WithField(SampleGoods(), "DIVNUM", 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutGoods("tovars.dbf", c.image);
    TDB& store = MakeStore();
    EXPECT_FALSE(store.GoodsOpen());
    EXPECT_FALSE(store.ExchangeGoods());
    EXPECT_EQ(events_.Count(std::string("goods file tovars.dbf rejected: ") + c.what), 1);
  }
  // Reported once, not at every step.
  EXPECT_EQ(events_.Count("tovars.dbf rejected"), static_cast<int>(std::size(cases)));
  // The limits themselves pass: CODE of 25, record length 299.
  DbfImage at_limit = WithField(SampleGoods(), "CODE", 25);
  at_limit.fields.push_back({"PAD", 'C', 299 - at_limit.RecordLength()});
  ASSERT_EQ(at_limit.RecordLength(), 299);
  PutGoods("tovars.dbf", at_limit);
  EXPECT_TRUE(MakeStore().GoodsOpen());
}

TEST_F(GoodsExchange, CandidateTakenInAndSignalRemoved) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore();
  ASSERT_TRUE(store.GoodsOpen());
  // The new file has other lengths: CODE "N" 6 and a leading extra field.
  DbfImage next;
  next.fields = {{"EXTRA", 'C', 7},    {"CODE", 'N', 6},   {"NAME", 'C', 20},
                 {"PRICE", 'N', 8, 2}, {"DIVNUM", 'C', 1}, {"RES", 'N', 8, 1}};
  next.records = {{"x", "100", "New bread", "13.00", "5", "4.0"}};
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_FALSE(FileExists(Goods("tovars2.dbf")));
  EXPECT_EQ(events_.Count("taken in"), 1);
  EXPECT_EQ(store.Layout().code.position, 8);
  EXPECT_EQ(store.Layout().record_length, next.RecordLength());
  const OperationRecord& r = LookUpCode("100", 1);
  EXPECT_STREQ(r.name, "New bread           ");
  EXPECT_EQ(r.section, '5');
  // Stock write-back uses the new file's lengths.
  store.SetTrackStock(true);
  const OperationRecord& sale = LookUpCode("100", 1.5);
  ASSERT_NE(sale.name[0], 0);
  const std::string bytes = testing::ReadFile(Goods("tovars.dbf"));
  EXPECT_EQ(bytes.substr(static_cast<size_t>(next.HeaderLength() + next.RecordLength() - 8), 8),
            "     2.5");
  const auto read = testing::ReadWithDbfread(Goods("tovars.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(read.rows[0], "x|100|New bread|13.0|5|2.5");
}

TEST_F(GoodsExchange, RejectedCandidateKeepsSignalAndOldFile) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore();
  DbfImage no_code = SampleGoods();
  no_code.fields[0].name = "KOD";
  PutGoods("tovars2.dbf", no_code);
  Signal(Goods("tovars.exp"));
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(store.ExchangeGoods());
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(FileExists(Goods("tovars2.dbf")));
  EXPECT_EQ(events_.Count("tovars2.dbf rejected"), 1);
  EXPECT_EQ(store.Layout().code.length, 13);
  EXPECT_STREQ(LookUpCode("12", 1).name, "Milk                          ");
}

TEST_F(GoodsExchange, SignalWithoutCandidateKeepsTheGoodsFile) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore();
  Signal(Goods("tovars.exp"));
  EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(store.GoodsOpen());
  EXPECT_NE(LookUpCode("77", 1).name[0], 0);
}

TEST_F(GoodsExchange, CandidateThatCannotBeMovedKeepsTheSignal) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore();
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kRenameReplacing, 1);
  EXPECT_FALSE(store.ExchangeGoods());
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(FileExists(Goods("tovars2.dbf")));
  EXPECT_TRUE(FileExists(Goods("tovars.dbf")));  // never a moment without one
  EXPECT_TRUE(store.GoodsOpen());
  // The next step completes the exchange.
  EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(store.GoodsOpen());
  // While tovars2.dbf cannot take the place of tovars.dbf, the goods file
  // stays open in service and the failure is told once, with its reason,
  // not at every step.
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  const int opened = events_.Count("tovars.dbf opened");
  const int opens = fs_.Calls(FsOp::kOpen);
  fs_.FailAlways(FsOp::kRenameReplacing, "/tovars2.dbf", Status::kDenied);
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(store.ExchangeGoods());
  EXPECT_TRUE(store.GoodsOpen());
  EXPECT_EQ(events_.Count("cannot take the place of tovars.dbf (Permission denied); the old "
                          "goods file stays in service"),
            1);
  EXPECT_EQ(events_.Count("tovars.dbf opened"), opened);
  EXPECT_EQ(fs_.Calls(FsOp::kOpen) - opens, 3);  // the candidate only
  fs_.Clear();
  EXPECT_TRUE(store.ExchangeGoods());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  // A candidate that cannot be opened leaves everything for the next step.
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kOpen, 1, "tovars2.dbf", 1, Status::kBusy);
  store.ExchangeGoods();
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(store.GoodsOpen());
}

TEST_F(GoodsExchange, FileWithoutResTurnsStockTrackingOffForGood) {
  DbfImage no_res = SampleGoods();
  no_res.fields.pop_back();
  for (auto& row : no_res.records) row.pop_back();
  PutGoods("tovars.dbf", no_res);
  TDB& store = MakeStore(true);
  EXPECT_FALSE(store.TrackStock());
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(store.ExchangeGoods());
  store.SetTrackStock(true);
  EXPECT_FALSE(store.TrackStock());
}

TEST_F(GoodsExchange, EmptyFoldersTouchNoFile) {
  TDB store("", "", fs_, &events_);
  EXPECT_FALSE(store.ExchangeGoods());
  EXPECT_FALSE(store.ExchangeReport());
  OperationRecord& r = store.Current();
  std::strcpy(r.goods_code, "1");
  store.LookUp(r);
  DocumentStamp slot;
  r.operation_code = kOpSaleByCode;
  store.Commit();
  store.CloseDocument(0, 0, slot);
  for (FsOp op : {FsOp::kExists, FsOp::kOpen, FsOp::kCreate, FsOp::kUnlink, FsOp::kRename,
                  FsOp::kRead, FsOp::kWrite})
    EXPECT_EQ(fs_.Calls(op), 0);
}

TEST_F(GoodsExchange, GoodsViewFillsFromTheFile) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore();
  views_.goods.SetCell(4, 3, "kept");
  store.FillGoodsView();
  EXPECT_EQ(views_.goods.RowCount(), 6);
  EXPECT_EQ(views_.goods.Cell(0, 5), "5            ");
  EXPECT_EQ(views_.goods.Cell(2, 1), "     12.50");
  EXPECT_EQ(views_.goods.Cell(5, 2), "     0.001");
  EXPECT_EQ(views_.goods.Cell(4, 3), "             ");
}

TEST_F(GoodsExchange, GoodsViewLeavesAbsentColumnsAndSurvivesLyingCounts) {
  DbfImage image = SampleGoods();
  image.fields.erase(image.fields.begin() + 4);  // no SH_CODE
  for (auto& row : image.records) row.erase(row.begin() + 4);
  image.record_count = 3000000000LL;  // far more than the file holds
  damaged_goods_ = true;
  PutGoods("tovars.dbf", image);
  TDB& store = MakeStore();
  views_.goods.SetCell(4, 2, "before");
  store.FillGoodsView();
  EXPECT_EQ(views_.goods.RowCount(), 6);
  EXPECT_EQ(views_.goods.Cell(4, 2), "before");
  EXPECT_EQ(views_.goods.Cell(1, 4), "Salt                          ");
}

TEST_F(GoodsExchange, RefreshWithoutGoodsFileChangesNothing) {
  TDB& store = MakeStore();
  const uint64_t version = views_.goods.Version();
  store.FillGoodsView();
  EXPECT_EQ(views_.goods.Version(), version);
  EXPECT_EQ(views_.goods.RowCount(), kGoodsInitialRows);
}

TEST_F(GoodsExchange, HundredThousandRecordsFillWellUnderASecond) {
  DbfImage image;
  image.fields = testing::GoodsFields();
  image.records.reserve(100000);
  for (int i = 1; i <= 100000; ++i)
    image.records.push_back(
        testing::GoodsRow(std::to_string(i), "Goods " + std::to_string(i), "1.00", "1", "", "1"));
  PutGoods("tovars.dbf", image);
  TDB& store = MakeStore();
  const auto start = std::chrono::steady_clock::now();
  store.FillGoodsView();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(views_.goods.RowCount(), 100001);
  EXPECT_EQ(views_.goods.Cell(1, 100000), "Goods 100000                  ");
  // Generous for sanitizer builds on a shared machine; the bench measures.
  EXPECT_LT(seconds, 3.0);
  std::printf("fill of 100000 goods records: %.3f s\n", seconds);
}

}  // namespace
}  // namespace tillgate
