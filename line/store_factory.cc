#include "line/store_factory.h"

#include <memory>

#include "line/store_decoder.h"
#include "line/tdb_store_steps.h"
#include "store/pricedb.h"

namespace tillgate {

StoreFactory ServerStoreFactory() {
  return [](const StoreContext& context) {
    // Created after the line objects, from the folders the settings hand to
    // the store (empty when not installed: that side then stays idle).
    auto store =
        std::make_unique<TDB>(context.settings.store_goods_folder,
                              context.settings.store_report_folder, nullptr, context.events);
    store->SetViews(&context.views.goods, &context.views.report);
    store->SetTrackStock(context.settings.track_stock);
    StoreBundle bundle;
    bundle.store = store.get();
    bundle.decoder = std::make_unique<StoreDecoder>(*store);
    bundle.steps = std::make_unique<TdbStoreSteps>(std::move(store));
    return bundle;
  };
}

}  // namespace tillgate
