#include "engine/store_factory.h"

#include "store/tdb.h"

namespace tillgate {

StoreFactory ServerStoreFactory(const std::string& state_folder) {
  return [state_folder](const StoreContext& context) -> std::unique_ptr<Store> {
    // Created after the line objects, from the folders the settings hand to
    // the store (empty when not installed: that side then stays idle).
    auto store = std::make_unique<TDB>(context.settings.store_goods_folder,
                                       context.settings.store_report_folder, context.files,
                                       context.events, state_folder);
    store->SetViews(&context.views.goods, &context.views.report, &context.views.diagnostics);
    store->SetTrackStock(context.settings.track_stock);
    store->SetStatusBoard(&context.views.status);
    return store;
  };
}

}  // namespace tillgate
