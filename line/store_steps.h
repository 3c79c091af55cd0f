#pragma once
// The store's part in every tick, called by the engine in this order: the
// goods view refresh (only when asked for), the report exchange step, the
// goods exchange step. Failed file steps are retried at the next tick.

namespace tillgate {

class StoreSteps {
 public:
  virtual ~StoreSteps() = default;
  virtual void FillGoodsView() = 0;
  virtual void ExchangeReport() = 0;
  virtual void ExchangeGoods() = 0;
};

}  // namespace tillgate
