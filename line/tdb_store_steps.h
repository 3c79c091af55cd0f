#pragma once
// The store's steps of every tick, taken by the engine: the goods view
// refresh, the report exchange and the goods exchange of the one TDB.

#include "line/store_steps.h"

namespace tillgate {

class TDB;

class TdbStoreSteps final : public StoreSteps {
 public:
  explicit TdbStoreSteps(TDB& store) : store_(store) {}
  void FillGoodsView() override;
  void ExchangeReport() override;
  void ExchangeGoods() override;

 private:
  TDB& store_;
};

}  // namespace tillgate
