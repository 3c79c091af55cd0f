#include <gtest/gtest.h>

#include "store/goods_layout.h"
#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::SampleGoods;
using testing::StoreTest;

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

class Stock : public StoreTest {
 protected:
  void SetUp() override {
    PutGoods("tovars.dbf", SampleGoods());
    MakeStore(true);
  }
  // RES of goods record `n` as the file holds it.
  std::string Res(int n) {
    const DbfImage image = SampleGoods();
    const std::string bytes = testing::ReadFile(Goods("tovars.dbf"));
    return bytes.substr(static_cast<size_t>(image.HeaderLength() + image.RecordLength() * n - 10),
                        10);
  }
};

TEST_F(Stock, SaleAndReturnMoveResAndTheGoodsView) {
  const OperationRecord& sale = LookUpCode("100", 2.5);
  ASSERT_NE(sale.name[0], 0);
  EXPECT_EQ(Res(1), "     7.500");
  EXPECT_EQ(views_.goods.Cell(5, 1), "     7.500");
  LookUpCode("100", 1, kOpReturn);
  EXPECT_EQ(Res(1), "     8.500");
  const auto read = testing::ReadWithDbfread(Goods("tovars.dbf"));
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.rows.size(), 5u);
  EXPECT_EQ(read.rows[0], "100|Bread|12.5|1|4600000000011|8.5");
  EXPECT_EQ(read.rows[3], "77|Salt|9.7|1||None");
}

TEST_F(Stock, NearZeroIsZeroAndBelowIsRefused) {
  // Milk holds 0.001.
  const OperationRecord& refused = LookUpCode("12", 0.002);
  EXPECT_EQ(refused.name[0], 0);
  EXPECT_EQ(Res(2), "     0.001");
  const OperationRecord& sold = LookUpCode("12", 0.0006);  // leaves 0.0004
  EXPECT_NE(sold.name[0], 0);
  EXPECT_EQ(Res(2), "     0.000");
}

TEST_F(Stock, BlankResIsZeroStock) {
  EXPECT_EQ(LookUpCode("77", 1).name[0], 0);  // Salt: RES all spaces
  EXPECT_EQ(Res(4), "          ");
  EXPECT_NE(LookUpCode("77", 3, kOpReturn).name[0], 0);
  EXPECT_EQ(Res(4), "     3.000");
}

TEST_F(Stock, StockThatDoesNotFitResRefusesTheGoods) {
  // Tea holds 999999.000 in N 10.3: one more does not fit six integer places.
  EXPECT_EQ(LookUpCode("5", 1, kOpReturn).name[0], 0);
  EXPECT_EQ(Res(5), "999999.000");
  EXPECT_NE(LookUpCode("5", 1).name[0], 0);
  EXPECT_EQ(Res(5), "999998.000");
}

TEST_F(Stock, ReverseUndoesAMovement) {
  OperationRecord& r = LookUpCode("2000", 2, kOpVoid);
  ASSERT_NE(r.name[0], 0);
  EXPECT_EQ(Res(3), "     7.000");
  // A void refused by CheckVoid after its look-up moved the stock.
  EXPECT_FALSE(store_->CheckVoid(r));
  EXPECT_TRUE(store_->ReverseStock(r.pool_index));
  EXPECT_EQ(Res(3), "     5.000");
  EXPECT_EQ(views_.goods.Cell(5, 3), "     5.000");
}

TEST_F(Stock, ReversalOnlyOnceAndOnlyInTheSameGoodsFile) {
  OperationRecord& sale = LookUpCode("100", 1);
  ASSERT_NE(sale.name[0], 0);
  const int index = sale.pool_index;
  store_->Commit();
  EXPECT_EQ(Res(1), "     9.000");
  EXPECT_TRUE(store_->ReverseStock(index));
  EXPECT_FALSE(store_->ReverseStock(index));  // already undone
  EXPECT_EQ(Res(1), "    10.000");

  OperationRecord& second = LookUpCode("100", 2);
  ASSERT_NE(second.name[0], 0);
  const int second_index = second.pool_index;
  store_->Commit();
  // A signal without a new file keeps the same goods file in service.
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(store_->ExchangeGoods());
  EXPECT_TRUE(store_->ReverseStock(second_index));
  EXPECT_EQ(Res(1), "    10.000");

  // A candidate that cannot replace tovars.dbf leaves the same file in
  // service: a repeated message must still be able to take its sale back,
  // or the repeat would move the stock a second time.
  OperationRecord& again = LookUpCode("100", 4);
  ASSERT_NE(again.name[0], 0);
  const int again_index = again.pool_index;
  store_->Commit();
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kRenameReplacing, 1, "/tovars2.dbf", 1, Status::kDenied);
  EXPECT_FALSE(store_->ExchangeGoods());
  ASSERT_TRUE(store_->GoodsOpen());
  EXPECT_EQ(Res(1), "     6.000");
  EXPECT_TRUE(store_->ReverseStock(again_index));
  EXPECT_EQ(Res(1), "    10.000");

  OperationRecord& third = LookUpCode("100", 3);
  ASSERT_NE(third.name[0], 0);
  const int third_index = third.pool_index;
  store_->Commit();
  // A new goods file where record 1 is other goods: no reversal there.
  DbfImage next = SampleGoods();
  next.records[0] = testing::GoodsRow("900", "Other", "1.00", "1", "", "50.000");
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(store_->ExchangeGoods());
  EXPECT_FALSE(store_->ReverseStock(third_index));
  EXPECT_EQ(Res(1), "    50.000");
  // A refused look-up leaves nothing to undo on its reused record.
  OperationRecord& refused = LookUpCode("12", 5);
  EXPECT_EQ(refused.name[0], 0);
  EXPECT_FALSE(store_->ReverseStock(refused.pool_index));
}

TEST_F(Stock, MovementFailsWithoutFileOrOnFailedTransfers) {
  OperationRecord& r = LookUpCode("100", 1);
  ASSERT_NE(r.name[0], 0);
  fs_.FailNth(FsOp::kWrite, 1);
  EXPECT_EQ(LookUpCode("100", 1).name[0], 0);
  EXPECT_EQ(Res(1), "     9.000");
  fs_.FailNth(FsOp::kRead, 3);  // header, chunk, then the movement's reads
  EXPECT_EQ(LookUpCode("100", 1).name[0], 0);
  EXPECT_EQ(Res(1), "     9.000");
  EXPECT_FALSE(store_->MoveStock(-1));
  EXPECT_FALSE(store_->MoveStock(TPEREBOR::kCapacity));
}

TEST_F(Stock, GoodsAnsweredAsNotFoundMoveNothing) {
  // A name of zero bytes reads as "not found" to the register: the sale is
  // refused, so its stock must not move either.
  DbfImage image = SampleGoods();
  image.records[0][1] = std::string(30, '\0');
  PutGoods("tovars.dbf", image);
  MakeStore(true);
  EXPECT_EQ(LookUpCode("100", 1).name[0], 0);
  EXPECT_EQ(Res(1), "    10.000");
  damaged_goods_ = true;  // zero bytes in a character field
}

TEST_F(Stock, TrackingOffLeavesResAlone) {
  store_->SetTrackStock(false);
  EXPECT_NE(LookUpCode("12", 5).name[0], 0);
  EXPECT_EQ(Res(2), "     0.001");
}

class GoodsLookUp : public StoreTest {};

TEST_F(GoodsLookUp, BarcodeSearchesShCodeOrCodeWhenAbsent) {
  PutGoods("tovars.dbf", SampleGoods());
  MakeStore();
  const OperationRecord& by_barcode =
      LookUpCode("4600000000028", 1, kOpSaleByBarcode, kLookupByBarcode);
  EXPECT_EQ(by_barcode.goods_record_number, 2);
  // Without SH_CODE, a barcode look-up searches CODE.
  DbfImage no_barcode = SampleGoods();
  no_barcode.fields.erase(no_barcode.fields.begin() + 4);
  for (auto& row : no_barcode.records) row.erase(row.begin() + 4);
  PutGoods("tovars.dbf", no_barcode);
  MakeStore();
  EXPECT_EQ(LookUpCode("2000", 1, kOpSaleByBarcode, kLookupByBarcode).goods_record_number, 3);
  EXPECT_EQ(LookUpCode("4600000000028", 1, kOpSaleByBarcode, kLookupByBarcode).name[0], 0);
}

TEST_F(GoodsLookUp, NumericCodeFieldAndLongNames) {
  DbfImage image;
  image.fields = {{"CODE", 'N', 5}, {"NAME", 'C', 40}, {"PRICE", 'N', 7, 2}, {"DIVNUM", 'C', 3}};
  image.records = {{"123", "A", "1", "9"}, {"12", std::string(40, 'n'), "0.25", "78"}};
  PutGoods("tovars.dbf", image);
  MakeStore();
  const OperationRecord& r = LookUpCode("12", 4);
  ASSERT_EQ(r.goods_record_number, 2);
  EXPECT_EQ(std::string(r.name), std::string(34, 'n'));  // 34 characters kept
  EXPECT_EQ(r.section, '7');
  EXPECT_DOUBLE_EQ(r.amount, 100);
}

TEST_F(GoodsLookUp, FullPoolRefusesWithoutMovingStock) {
  PutGoods("tovars.dbf", SampleGoods());
  TDB& store = MakeStore(true);
  for (int i = 0; i < TPEREBOR::kCapacity; ++i) {
    store.Current().quantity = 0;
    store.Commit();
  }
  ASSERT_TRUE(store.Full());
  const OperationRecord& r = LookUpCode("100", 1);
  EXPECT_EQ(r.name[0], 0);
  EXPECT_EQ(store.PendingCount(), TPEREBOR::kCapacity);
  const DbfImage image = SampleGoods();
  EXPECT_EQ(testing::ReadFile(Goods("tovars.dbf")), image.Bytes());
}

}  // namespace
}  // namespace tillgate
