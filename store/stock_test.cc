// Stock moves with the operation: the store's look-up moves it before the
// answer, and a refused void or a withdrawn operation moves it back, but
// only in the goods file it was moved in.

#include <gtest/gtest.h>

#include "store/store_fixture.h"

namespace tillgate {
namespace {

using testing::DbfImage;
using testing::Request;
using testing::SampleGoods;

class StoreStock : public testing::StoreTest {
 protected:
  void SetUp() override {
    PutGoods("tovars.dbf", SampleGoods());
    MakeStore(true);
  }
  GoodsOutcome Serve(uint8_t sequence, const char* code, double quantity, char op = kOpSaleByCode) {
    return store_->ServeGoods(Request(0, 1, sequence, code, quantity, op));
  }
};

TEST_F(StoreStock, ASaleMovesTheStockAndARefusalDoesNot) {
  ASSERT_TRUE(Serve(1, "100", 2.5).Served());
  EXPECT_EQ(SampleRes(1), "     7.500");
  EXPECT_EQ(views_.goods.Cell(5, 1), "     7.500");
  ASSERT_TRUE(Serve(2, "100", 1, kOpReturn).Served());
  EXPECT_EQ(SampleRes(1), "     8.500");
  // Milk holds 0.001.
  EXPECT_EQ(Serve(3, "12", 0.002).refusal, GoodsRefusal::kOutOfStock);
  EXPECT_EQ(SampleRes(2), "     0.001");
  fs_.FailNth(FsOp::kWrite, 1, "tovars.dbf");
  EXPECT_EQ(Serve(4, "100", 1).refusal, GoodsRefusal::kStockFailed);
  EXPECT_EQ(SampleRes(1), "     8.500");
  // With tracking off the stock stays as it is.
  store_->SetTrackStock(false);
  ASSERT_TRUE(Serve(5, "12", 5).Served());
  EXPECT_EQ(SampleRes(2), "     0.001");
}

TEST_F(StoreStock, ARefusedVoidPutsTheStockBack) {
  // Nothing of Cheese is pending: the void's look-up moved the stock up, and
  // its refusal moves it down again.
  EXPECT_EQ(Serve(1, "2000", 2, kOpVoid).refusal, GoodsRefusal::kVoidNotCovered);
  EXPECT_EQ(SampleRes(3), "     5.000");
  EXPECT_EQ(views_.goods.Cell(5, 3), "     5.000");
}

TEST_F(StoreStock, ARepetitionTakesTheStockBackOnlyInTheFileItWasMovedIn) {
  ASSERT_TRUE(Serve(1, "100", 1).Served());
  EXPECT_EQ(SampleRes(1), "     9.000");
  // A signal without a new file keeps the same goods file in service: the
  // repetition takes the first sale back before it sells anew.
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(store_->ExchangeGoods());
  GoodsOutcome again = Serve(1, "100", 2);
  ASSERT_TRUE(again.withdrawn);
  EXPECT_EQ(SampleRes(1), "     8.000");

  // A candidate that cannot replace tovars.dbf leaves the same file in
  // service: a repeated message must still take its sale back, or the
  // repetition would move the stock a second time.
  PutGoods("tovars2.dbf", SampleGoods());
  Signal(Goods("tovars.exp"));
  fs_.FailNth(FsOp::kRenameReplacing, 1, "/tovars2.dbf", 1, Status::kDenied);
  EXPECT_FALSE(store_->ExchangeGoods());
  again = Serve(1, "100", 4);
  ASSERT_TRUE(again.withdrawn);
  EXPECT_EQ(SampleRes(1), "     6.000");

  // A new goods file where record 1 is other goods: nothing is moved back
  // there, and the goods sold are no longer found.
  DbfImage next = SampleGoods();
  next.records[0] = testing::GoodsRow("900", "Other", "1.00", "1", "", "50.000");
  PutGoods("tovars2.dbf", next);
  Signal(Goods("tovars.exp"));
  ASSERT_TRUE(store_->ExchangeGoods());
  again = Serve(1, "100", 3);
  EXPECT_TRUE(again.withdrawn);
  EXPECT_EQ(again.refusal, GoodsRefusal::kNotFound);
  EXPECT_EQ(SampleRes(1), "    50.000");

  // A refused message leaves nothing to take back at its repetition.
  EXPECT_EQ(Serve(2, "12", 5).refusal, GoodsRefusal::kOutOfStock);
  again = Serve(2, "12", 0.001);
  EXPECT_FALSE(again.withdrawn);
  ASSERT_TRUE(again.Served());
  EXPECT_EQ(SampleRes(2), "     0.000");
}

TEST_F(StoreStock, GoodsAnsweredAsNotFoundMoveNothing) {
  // A name of zero bytes reads as "not found" to the register: the sale is
  // refused, so its stock must not move either.
  DbfImage image = SampleGoods();
  image.records[0][1] = std::string(30, '\0');
  PutGoods("tovars.dbf", image);
  MakeStore(true);
  EXPECT_EQ(Serve(1, "100", 1).refusal, GoodsRefusal::kNotFound);
  EXPECT_EQ(SampleRes(1), "    10.000");
  damaged_goods_ = true;  // zero bytes in a character field
}

TEST_F(StoreStock, AFullPoolRefusesWithoutMovingStock) {
  for (int i = 0; i < TPEREBOR::kCapacity; ++i) {
    Pool().Current().quantity = 0;
    Pool().Commit();
  }
  ASSERT_TRUE(Pool().Full());
  EXPECT_EQ(Serve(1, "100", 1).refusal, GoodsRefusal::kPoolFull);
  EXPECT_EQ(Pool().PendingCount(), TPEREBOR::kCapacity);
  EXPECT_EQ(testing::ReadFile(Goods("tovars.dbf")), SampleGoods().Bytes());
}

}  // namespace
}  // namespace tillgate
