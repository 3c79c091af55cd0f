#include "line/tdb_store_steps.h"

#include <utility>

#include "store/pricedb.h"

namespace tillgate {

TdbStoreSteps::TdbStoreSteps(std::unique_ptr<TDB> store) : store_(std::move(store)) {}
TdbStoreSteps::~TdbStoreSteps() = default;

void TdbStoreSteps::FillGoodsView() { store_->FillGoodsView(); }
void TdbStoreSteps::ExchangeReport() { store_->ExchangeReport(); }
void TdbStoreSteps::ExchangeGoods() { store_->ExchangeGoods(); }

}  // namespace tillgate
