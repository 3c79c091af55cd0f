#pragma once
// The store's steps of every tick, taken by the engine: the goods view
// refresh, the report exchange and the goods exchange of the one TDB, which
// it owns for the rest of the run.

#include <memory>

#include "line/store_steps.h"

namespace tillgate {

class TDB;

class TdbStoreSteps final : public StoreSteps {
 public:
  explicit TdbStoreSteps(std::unique_ptr<TDB> store);
  ~TdbStoreSteps() override;
  void FillGoodsView() override;
  void ExchangeReport() override;
  void ExchangeGoods() override;
  TDB& Store() { return *store_; }

 private:
  std::unique_ptr<TDB> store_;
};

}  // namespace tillgate
