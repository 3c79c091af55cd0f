// The goods file alone: its exchange with the other shop software, its
// look-ups, its stock and its view.

#include "store/goods_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "store/goods_layout.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::FileExists;
using testing::SampleGoods;

class GoodsFileTest : public testing::StoreTest {
 protected:
  // The goods file over the goods folder as a start makes it: one exchange
  // step, then the operator's stock setting.
  GoodsFile& MakeGoods(bool track_stock = false) {
    goods_ = std::make_unique<GoodsFile>(&fs_, &events_, goods_dir_.path());
    goods_->SetView(&views_.goods);
    goods_->Exchange();
    goods_->SetTrackStock(track_stock);
    return *goods_;
  }
  // Looks `code` up; the result in `result_`.
  GoodsItem Find(const std::string& code, uint8_t kind = kLookupByCode) {
    GoodsItem item;
    result_ = goods_->Find(code, kind, &item);
    return item;
  }
  // SampleGoods() without its last `missing` records (the header still
  // counts them): a copy that did not finish.
  void PutShortGoods(int missing) {
    const std::string whole = SampleGoods().Bytes();
    const size_t record = static_cast<size_t>(SampleGoods().RecordLength());
    testing::WriteFile(Goods("tovars.dbf"),
                       whole.substr(0, whole.size() - static_cast<size_t>(missing) * record));
  }
  bool GoodsAccepted() override { return goods_ && goods_->IsOpen(); }

  std::unique_ptr<GoodsFile> goods_;
  LookUpResult result_ = LookUpResult::kFound;
};

DbfImage WithField(DbfImage image, const std::string& name, int length, char type = 'C') {
  for (auto& f : image.fields)
    if (f.name == name) {
      f.length = length;
      f.type = type;
    }
  return image;
}

TEST(GoodsKey, PaddedByTheCodeFieldType) {
  std::string key;
  ASSERT_TRUE(MakeKey("12", 5, 'N', &key));
  EXPECT_EQ(key, "   12");
  ASSERT_TRUE(MakeKey("12", 5, 'C', &key));
  EXPECT_EQ(key, "12   ");
  ASSERT_TRUE(MakeKey("123456", 5, 'C', &key));
  EXPECT_EQ(key, "123456");
  ASSERT_TRUE(MakeKey("12345", 5, 'D', &key));  // full width needs no padding
  EXPECT_EQ(key, "12345");
  EXPECT_FALSE(MakeKey("12", 5, 'D', &key));  // no key: never an empty prefix
}

TEST(GoodsNumbers, ReadLikeTheFilesWriteThem) {
  EXPECT_DOUBLE_EQ(ParseDbfNumber("     12.50"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDbfNumber("  -3.25xyz"), -3.25);
  EXPECT_DOUBLE_EQ(ParseDbfNumber("          "), 0);
  EXPECT_DOUBLE_EQ(ParseDbfNumber("1e5"), 1);  // no exponents
  EXPECT_DOUBLE_EQ(ParseDbfNumber("12,50"), 12);
  EXPECT_DOUBLE_EQ(ParseDbfNumber("nan"), 0);
}

class GoodsExchange : public GoodsFileTest {};

TEST_F(GoodsExchange, NoGoodsFileThenPickedUpAtTheNextStep) {
  GoodsFile& goods = MakeGoods();
  EXPECT_FALSE(goods.IsOpen());
  EXPECT_EQ(Find("100").record_number, -1);
  EXPECT_EQ(result_, LookUpResult::kNoGoodsFile);
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(goods.Exchange());
  // Said once, as a lasting condition, until the file is there.
  CollectedEvent missing;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf is missing", &missing));
  EXPECT_EQ(events_.Count("goods file tovars.dbf is missing"), 1);
  EXPECT_EQ(missing.condition, "goods file");
  EXPECT_EQ(missing.severity, Severity::kError);
  PutGoods("tovars.dbf", SampleGoods());
  EXPECT_TRUE(goods.Exchange());
  CollectedEvent opened;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf opened", &opened));
  EXPECT_TRUE(opened.cleared);
  EXPECT_EQ(goods.Records(), 5u);
  const GoodsItem bread = Find("100");
  EXPECT_EQ(result_, LookUpResult::kFound);
  EXPECT_STREQ(bread.name, "Bread                         ");
  EXPECT_EQ(bread.name_length, 30);
  EXPECT_EQ(bread.record_number, 1);
  EXPECT_EQ(bread.section, '1');
  EXPECT_DOUBLE_EQ(bread.price, 12.5);
}

// A goods file damaged past its header: one cut short by a copy that did
// not finish is served with a warning, and a file that cannot be read is
// told apart from goods that are not there.
TEST_F(GoodsExchange, ADamagedGoodsFileSaysWhy) {
  const std::string whole = SampleGoods().Bytes();
  // The last record is missing.
  PutShortGoods(1);
  GoodsFile& goods = MakeGoods();
  ASSERT_TRUE(goods.IsOpen());
  CollectedEvent cut;
  ASSERT_TRUE(events_.Find("goods file tovars.dbf is cut short", &cut));
  EXPECT_EQ(cut.text,
            "goods file tovars.dbf is cut short: its header counts 5 records, 4 are there; goods "
            "in the missing records are not found");
  EXPECT_EQ(cut.severity, Severity::kWarning);
  const auto find = [&](const char* code) {
    Find(code);
    return result_;
  };
  EXPECT_EQ(find("77"), LookUpResult::kFound);
  EXPECT_EQ(find("5"), LookUpResult::kNotFound);
  damaged_goods_ = true;

  fs_.FailNth(FsOp::kRead, 1, "tovars.dbf", 2, Status(Status::kError));
  EXPECT_EQ(find("77"), LookUpResult::kReadFailed);
  EXPECT_EQ(find("77"), LookUpResult::kReadFailed);
  EXPECT_EQ(find("77"), LookUpResult::kFound);
  std::vector<CollectedEvent> said;
  for (const CollectedEvent& e : events_.Events())
    if (e.condition == "goods file") said.push_back(e);
  ASSERT_EQ(said.size(), 3u);  // opened, cannot be read (once), read again
  EXPECT_EQ(said[1].text,
            "goods file tovars.dbf cannot be read (Input/output error): goods messages are "
            "refused while it cannot");
  EXPECT_EQ(said[1].severity, Severity::kError);
  EXPECT_EQ(said[2].text, "goods file tovars.dbf can be read again");
  EXPECT_TRUE(said[2].cleared);

  // Cut down to less than a header later: the reason is that, not the read
  // error that has passed.
  testing::WriteFile(Goods("tovars.dbf"), whole.substr(0, 10));
  EXPECT_EQ(find("77"), LookUpResult::kReadFailed);
  EXPECT_TRUE(events_.Has("goods file tovars.dbf cannot be read (its header is cut short)"));
}

// The same short file opened again and again (a signal that cannot be
// removed reopens it at every step) is told once; another shortfall is told
// again.
TEST_F(GoodsExchange, AGoodsFileCutShortIsToldOnceUntilItChanges) {
  PutShortGoods(1);
  GoodsFile& goods = MakeGoods();
  damaged_goods_ = true;
  testing::WriteFile(Goods("tovars.exp"), "");
  fs_.FailAlways(FsOp::kUnlink, "tovars.exp", Status(Status::kError, "Permission denied"));
  for (int step = 0; step < 5; ++step) EXPECT_TRUE(goods.Exchange());
  EXPECT_EQ(events_.Count("goods file tovars.dbf is cut short"), 1);
  PutShortGoods(2);
  for (int step = 0; step < 3; ++step) EXPECT_TRUE(goods.Exchange());
  EXPECT_EQ(events_.Count("goods file tovars.dbf is cut short"), 2);
  EXPECT_TRUE(events_.Has("its header counts 5 records, 3 are there"));
  // Whole again, then short again: told again.
  PutGoods("tovars.dbf", SampleGoods());
  EXPECT_TRUE(goods.Exchange());
  PutShortGoods(2);
  EXPECT_TRUE(goods.Exchange());
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
    GoodsFile& goods = MakeGoods();
    EXPECT_FALSE(goods.IsOpen());
    EXPECT_FALSE(goods.Exchange());
    EXPECT_EQ(events_.Count(std::string("goods file tovars.dbf rejected: ") + c.what), 1);
  }
  // Reported once, not at every step.
  EXPECT_EQ(events_.Count("tovars.dbf rejected"), static_cast<int>(std::size(cases)));
  // The limits themselves pass: CODE of 25, record length 299.
  DbfImage at_limit = WithField(SampleGoods(), "CODE", 25);
  at_limit.fields.push_back({"PAD", 'C', 299 - at_limit.RecordLength()});
  ASSERT_EQ(at_limit.RecordLength(), 299);
  PutGoods("tovars.dbf", at_limit);
  EXPECT_TRUE(MakeGoods().IsOpen());
}

TEST_F(GoodsExchange, CandidateTakenInAndSignalRemoved) {
  PutGoods("tovars.dbf", SampleGoods());
  GoodsFile& goods = MakeGoods();
  ASSERT_TRUE(goods.IsOpen());
  const uint32_t first = goods.Generation();
  // The new file has other lengths: CODE "N" 6 and a leading extra field.
  DbfImage next;
  next.fields = {{"EXTRA", 'C', 7},    {"CODE", 'N', 6},   {"NAME", 'C', 20},
                 {"PRICE", 'N', 8, 2}, {"DIVNUM", 'C', 1}, {"RES", 'N', 8, 1}};
  next.records = {{"x", "100", "New bread", "13.00", "5", "4.0"}};
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  EXPECT_TRUE(goods.Exchange());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_FALSE(FileExists(Goods("tovars2.dbf")));
  EXPECT_EQ(events_.Count("taken in"), 1);
  EXPECT_EQ(goods.Generation(), first + 1);  // record numbers name other goods now
  EXPECT_EQ(goods.Layout().code.position, 8);
  EXPECT_EQ(goods.Layout().record_length, next.RecordLength());
  const GoodsItem item = Find("100");
  EXPECT_STREQ(item.name, "New bread           ");
  EXPECT_EQ(item.section, '5');
  // Stock write-back uses the new file's lengths.
  ASSERT_EQ(goods.MoveStock(item.record_number, kOpSaleByCode, 1.5), StockResult::kMoved);
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
  GoodsFile& goods = MakeGoods();
  DbfImage no_code = SampleGoods();
  no_code.fields[0].name = "KOD";
  PutGoods("tovars2.dbf", no_code);
  Signal(Goods("tovars.exp"));
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(goods.Exchange());
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(FileExists(Goods("tovars2.dbf")));
  EXPECT_EQ(events_.Count("tovars2.dbf rejected"), 1);
  EXPECT_EQ(goods.Layout().code.length, 13);
  EXPECT_STREQ(Find("12").name, "Milk                          ");
}

TEST_F(GoodsExchange, SignalWithoutCandidateKeepsTheGoodsFile) {
  PutGoods("tovars.dbf", SampleGoods());
  GoodsFile& goods = MakeGoods();
  const uint32_t generation = goods.Generation();
  Signal(Goods("tovars.exp"));
  EXPECT_TRUE(goods.Exchange());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(goods.IsOpen());
  EXPECT_EQ(goods.Generation(), generation);  // the same goods file
  EXPECT_EQ(Find("77").record_number, 4);
}

TEST_F(GoodsExchange, CandidateThatCannotBeMovedKeepsTheSignal) {
  PutGoods("tovars.dbf", SampleGoods());
  GoodsFile& goods = MakeGoods();
  const uint32_t generation = goods.Generation();
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kRenameReplacing, 1);
  EXPECT_FALSE(goods.Exchange());
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(FileExists(Goods("tovars2.dbf")));
  EXPECT_TRUE(FileExists(Goods("tovars.dbf")));  // never a moment without one
  EXPECT_TRUE(goods.IsOpen());
  EXPECT_EQ(goods.Generation(), generation);  // still the file in service
  // The next step completes the exchange.
  EXPECT_TRUE(goods.Exchange());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(goods.IsOpen());
  // While tovars2.dbf cannot take the place of tovars.dbf, the goods file
  // stays open in service and the failure is told once, with its reason,
  // not at every step.
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  const int opened = events_.Count("tovars.dbf opened");
  const int opens = fs_.Calls(FsOp::kOpen);
  fs_.FailAlways(FsOp::kRenameReplacing, "/tovars2.dbf", Status::kDenied);
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(goods.Exchange());
  EXPECT_TRUE(goods.IsOpen());
  EXPECT_EQ(events_.Count("cannot take the place of tovars.dbf (Permission denied); the old "
                          "goods file stays in service"),
            1);
  EXPECT_EQ(events_.Count("tovars.dbf opened"), opened);
  EXPECT_EQ(fs_.Calls(FsOp::kOpen) - opens, 3);  // the candidate only
  fs_.Clear();
  EXPECT_TRUE(goods.Exchange());
  EXPECT_FALSE(FileExists(Goods("tovars.exp")));
  // A candidate that cannot be opened leaves everything for the next step.
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kOpen, 1, "tovars2.dbf", 1, Status::kBusy);
  goods.Exchange();
  EXPECT_TRUE(FileExists(Goods("tovars.exp")));
  EXPECT_TRUE(goods.IsOpen());
}

TEST_F(GoodsExchange, FileWithoutResTurnsStockTrackingOffForGood) {
  DbfImage no_res = SampleGoods();
  no_res.fields.pop_back();
  for (auto& row : no_res.records) row.pop_back();
  PutGoods("tovars.dbf", no_res);
  GoodsFile& goods = MakeGoods(true);
  EXPECT_FALSE(goods.TrackStock());
  EXPECT_EQ(goods.MoveStock(1, kOpReturn, 1), StockResult::kFailed);
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(goods.Exchange());
  goods.SetTrackStock(true);
  EXPECT_FALSE(goods.TrackStock());
}

TEST_F(GoodsExchange, AnEmptyFolderTouchesNoFile) {
  GoodsFile goods(&fs_, &events_, "");
  EXPECT_FALSE(goods.Exchange());
  GoodsItem item;
  EXPECT_EQ(goods.Find("1", kLookupByCode, &item), LookUpResult::kNoGoodsFile);
  goods.FillView();
  for (FsOp op : {FsOp::kExists, FsOp::kOpen, FsOp::kCreate, FsOp::kUnlink, FsOp::kRename,
                  FsOp::kRead, FsOp::kWrite})
    EXPECT_EQ(fs_.Calls(op), 0);
  EXPECT_TRUE(events_.Events().empty());
}

class GoodsStock : public GoodsFileTest {
 protected:
  void SetUp() override {
    PutGoods("tovars.dbf", SampleGoods());
    MakeGoods(true);
  }
};

TEST_F(GoodsStock, SaleAndReturnMoveResAndTheGoodsView) {
  EXPECT_EQ(goods_->MoveStock(1, kOpSaleByCode, 2.5), StockResult::kMoved);
  EXPECT_EQ(SampleRes(1), "     7.500");
  EXPECT_EQ(views_.goods.Cell(5, 1), "     7.500");
  EXPECT_EQ(goods_->MoveStock(1, kOpReturn, 1), StockResult::kMoved);
  EXPECT_EQ(SampleRes(1), "     8.500");
  const auto read = testing::ReadWithDbfread(Goods("tovars.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.rows.size(), 5u);
  EXPECT_EQ(read.rows[0], "100|Bread|12.5|1|4600000000011|8.5");
  EXPECT_EQ(read.rows[3], "77|Salt|9.7|1||None");
}

TEST_F(GoodsStock, EachOperationMovesItsOwnWayAndBack) {
  // Sales by code and by barcode take away, returns and voids add; the
  // reverse direction undoes each.
  const struct {
    char operation;
    const char* after;
  } cases[] = {{kOpSaleByCode, "     8.000"},
               {kOpSaleByBarcode, "     8.000"},
               {kOpReturn, "    12.000"},
               {kOpVoid, "    12.000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    ASSERT_EQ(goods_->MoveStock(1, c.operation, 2), StockResult::kMoved);
    EXPECT_EQ(SampleRes(1), c.after);
    ASSERT_EQ(goods_->MoveStock(1, c.operation, 2, -1), StockResult::kMoved);
    EXPECT_EQ(SampleRes(1), "    10.000");
  }
  // No operation code, no movement.
  EXPECT_EQ(goods_->MoveStock(1, 0, 2), StockResult::kFailed);
  EXPECT_EQ(SampleRes(1), "    10.000");
}

TEST_F(GoodsStock, NearZeroIsZeroAndBelowIsRefused) {
  // Milk holds 0.001.
  EXPECT_EQ(goods_->MoveStock(2, kOpSaleByCode, 0.002), StockResult::kShort);
  EXPECT_EQ(SampleRes(2), "     0.001");
  EXPECT_EQ(goods_->MoveStock(2, kOpSaleByCode, 0.0006), StockResult::kMoved);  // leaves 0.0004
  EXPECT_EQ(SampleRes(2), "     0.000");
}

TEST_F(GoodsStock, BlankResIsZeroStock) {
  EXPECT_EQ(goods_->MoveStock(4, kOpSaleByCode, 1), StockResult::kShort);  // Salt: RES all spaces
  EXPECT_EQ(SampleRes(4), "          ");
  EXPECT_EQ(goods_->MoveStock(4, kOpReturn, 3), StockResult::kMoved);
  EXPECT_EQ(SampleRes(4), "     3.000");
}

TEST_F(GoodsStock, StockThatDoesNotFitResIsNotWritten) {
  // Tea holds 999999.000 in N 10.3: one more does not fit six integer places.
  EXPECT_EQ(goods_->MoveStock(5, kOpReturn, 1), StockResult::kFailed);
  EXPECT_EQ(SampleRes(5), "999999.000");
  EXPECT_EQ(goods_->MoveStock(5, kOpSaleByCode, 1), StockResult::kMoved);
  EXPECT_EQ(SampleRes(5), "999998.000");
}

TEST_F(GoodsStock, MovementFailsWithoutFileOrOnFailedTransfers) {
  fs_.FailNth(FsOp::kWrite, 1);
  EXPECT_EQ(goods_->MoveStock(1, kOpSaleByCode, 1), StockResult::kFailed);
  EXPECT_EQ(SampleRes(1), "    10.000");
  fs_.FailNth(FsOp::kRead, 1);  // the header
  EXPECT_EQ(goods_->MoveStock(1, kOpSaleByCode, 1), StockResult::kFailed);
  fs_.FailNth(FsOp::kRead, 2);  // the field
  EXPECT_EQ(goods_->MoveStock(1, kOpSaleByCode, 1), StockResult::kFailed);
  EXPECT_EQ(SampleRes(1), "    10.000");
  // Record numbers outside the file are refused, never written.
  for (const int32_t outside : {-1, 0, 6, INT32_MAX})
    EXPECT_EQ(goods_->MoveStock(outside, kOpReturn, 1), StockResult::kFailed) << outside;
  EXPECT_EQ(testing::ReadFile(Goods("tovars.dbf")).size(), SampleGoods().Bytes().size());
}

class GoodsLookUp : public GoodsFileTest {};

TEST_F(GoodsLookUp, BarcodeSearchesShCodeOrCodeWhenAbsent) {
  PutGoods("tovars.dbf", SampleGoods());
  MakeGoods();
  EXPECT_EQ(Find("4600000000028", kLookupByBarcode).record_number, 2);
  EXPECT_EQ(Find("4600000000028", kLookupByCode).record_number, -1);
  // Without SH_CODE, a barcode look-up searches CODE.
  DbfImage no_barcode = SampleGoods();
  no_barcode.fields.erase(no_barcode.fields.begin() + 4);
  for (auto& row : no_barcode.records) row.erase(row.begin() + 4);
  PutGoods("tovars.dbf", no_barcode);
  MakeGoods();
  EXPECT_EQ(Find("2000", kLookupByBarcode).record_number, 3);
  EXPECT_EQ(Find("4600000000028", kLookupByBarcode).record_number, -1);
  EXPECT_EQ(result_, LookUpResult::kNotFound);
}

TEST_F(GoodsLookUp, NumericCodeFieldAndLongNames) {
  DbfImage image;
  image.fields = {{"CODE", 'N', 5}, {"NAME", 'C', 40}, {"PRICE", 'N', 7, 2}, {"DIVNUM", 'C', 3}};
  image.records = {{"123", "A", "1", "9"}, {"12", std::string(40, 'n'), "0.25", "78"}};
  PutGoods("tovars.dbf", image);
  MakeGoods();
  const GoodsItem item = Find("12");
  ASSERT_EQ(item.record_number, 2);
  EXPECT_EQ(std::string(item.name), std::string(34, 'n'));  // 34 characters kept
  EXPECT_EQ(item.name_length, 34);
  EXPECT_EQ(item.section, '7');
  EXPECT_DOUBLE_EQ(item.price, 0.25);
}

TEST_F(GoodsLookUp, ANameBeginningWithAZeroByteIsNotFound) {
  // The register would read such a name as "not found": the goods are
  // refused as that, before anyone moves their stock.
  DbfImage image = SampleGoods();
  image.records[0][1] = std::string(30, '\0');
  PutGoods("tovars.dbf", image);
  MakeGoods();
  EXPECT_EQ(Find("100").record_number, 1);
  EXPECT_EQ(result_, LookUpResult::kNotFound);
  damaged_goods_ = true;  // zero bytes in a character field
}

class GoodsView : public GoodsFileTest {};

TEST_F(GoodsView, FillsFromTheFile) {
  PutGoods("tovars.dbf", SampleGoods());
  GoodsFile& goods = MakeGoods();
  views_.goods.SetCell(4, 3, "kept");
  goods.FillView();
  EXPECT_EQ(views_.goods.RowCount(), 6);
  EXPECT_EQ(views_.goods.Cell(0, 5), "5            ");
  EXPECT_EQ(views_.goods.Cell(2, 1), "     12.50");
  EXPECT_EQ(views_.goods.Cell(5, 2), "     0.001");
  EXPECT_EQ(views_.goods.Cell(4, 3), "             ");
}

TEST_F(GoodsView, LeavesAbsentColumnsAndSurvivesLyingCounts) {
  DbfImage image = SampleGoods();
  image.fields.erase(image.fields.begin() + 4);  // no SH_CODE
  for (auto& row : image.records) row.erase(row.begin() + 4);
  image.record_count = 3000000000LL;  // far more than the file holds
  damaged_goods_ = true;
  PutGoods("tovars.dbf", image);
  GoodsFile& goods = MakeGoods();
  views_.goods.SetCell(4, 2, "before");
  goods.FillView();
  EXPECT_EQ(views_.goods.RowCount(), 6);
  EXPECT_EQ(views_.goods.Cell(4, 2), "before");
  EXPECT_EQ(views_.goods.Cell(1, 4), "Salt                          ");
}

TEST_F(GoodsView, RefreshWithoutGoodsFileChangesNothing) {
  GoodsFile& goods = MakeGoods();
  const uint64_t version = views_.goods.Version();
  goods.FillView();
  EXPECT_EQ(views_.goods.Version(), version);
  EXPECT_EQ(views_.goods.RowCount(), kGoodsInitialRows);
}

// The view reads the file it was filled from: a new goods file shows at the
// next refresh, stock moved meanwhile shows at once, and a column the new
// file lacks keeps what it showed.
TEST_F(GoodsView, ANewFileShowsAtTheNextRefreshAndAbsentColumnsKeepTheirCells) {
  PutGoods("tovars.dbf", SampleGoods());
  GoodsFile& goods = MakeGoods(true);
  goods.FillView();
  ASSERT_EQ(goods.MoveStock(1, kOpSaleByCode, 1), StockResult::kMoved);
  EXPECT_EQ(views_.goods.Cell(5, 1), "     9.000");
  DbfImage next;
  next.fields = {{"CODE", 'C', 5},
                 {"NAME", 'C', 10},
                 {"PRICE", 'N', 6, 2},
                 {"DIVNUM", 'C', 1},
                 {"RES", 'N', 10, 3}};
  next.records = {{"900", "Other", "1.00", "1", "50.000"},
                  {"901", "Another", "2.00", "2", "5.000"},
                  {"902", "Third", "3.00", "3", "1.000"}};
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(goods.Exchange());
  // Until the refresh the old file shows, with the new file's stock moves.
  ASSERT_EQ(goods.MoveStock(2, kOpSaleByCode, 1), StockResult::kMoved);
  EXPECT_EQ(views_.goods.RowCount(), 6);
  EXPECT_EQ(views_.goods.Cell(1, 1), "Bread                         ");
  EXPECT_EQ(views_.goods.Cell(5, 1), "     9.000");
  EXPECT_EQ(views_.goods.Cell(5, 2), "     4.000");
  goods.FillView();
  EXPECT_EQ(views_.goods.RowCount(), 4);
  EXPECT_EQ(views_.goods.Cell(0, 1), "900  ");
  EXPECT_EQ(views_.goods.Cell(1, 3), "Third     ");
  EXPECT_EQ(views_.goods.Cell(5, 2), "     4.000");
  EXPECT_EQ(views_.goods.Cell(4, 1), "4600000000011");  // the old file's barcodes stay
  EXPECT_EQ(views_.goods.Cell(4, 3), "             ");
  EXPECT_EQ(views_.goods.Cell(0, 4), "");
  ASSERT_EQ(goods.MoveStock(3, kOpReturn, 1), StockResult::kMoved);
  EXPECT_EQ(views_.goods.Cell(5, 3), "     2.000");
}

TEST_F(GoodsView, HundredThousandRecordsFillWellUnderASecond) {
  DbfImage image;
  image.fields = testing::GoodsFields();
  image.records.reserve(100000);
  for (int i = 1; i <= 100000; ++i)
    image.records.push_back(
        testing::GoodsRow(std::to_string(i), "Goods " + std::to_string(i), "1.00", "1", "", "1"));
  PutGoods("tovars.dbf", image);
  GoodsFile& goods = MakeGoods();
  const auto start = std::chrono::steady_clock::now();
  goods.FillView();
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
