#include "line/tdb_store_steps.h"

#include "store/pricedb.h"

namespace tillgate {

void TdbStoreSteps::FillGoodsView() { store_.FillGoodsView(); }
void TdbStoreSteps::ExchangeReport() { store_.ExchangeReport(); }
void TdbStoreSteps::ExchangeGoods() { store_.ExchangeGoods(); }

}  // namespace tillgate
