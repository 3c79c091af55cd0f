#include "engine/store_factory.h"

#include "store/tdb.h"

namespace tillgate {

StoreFactory ServerStoreFactory(const std::string& state_folder, GoodsView goods_view) {
  return [state_folder, goods_view](const StoreContext& context) -> std::unique_ptr<Store> {
    // Created after the line objects, from the folders the settings hand to
    // the store (empty when not installed: that side then stays idle).
    auto store = std::make_unique<TDB>(context.settings.store_goods_folder,
                                       context.settings.store_report_folder, context.files,
                                       context.events, state_folder);
    store->SetViews(goods_view == GoodsView::kShown ? &context.views.goods : nullptr,
                    &context.views.report, &context.views.diagnostics);
    store->SetBackgroundIndexing(true);
    store->SetTrackStock(context.settings.track_stock);
    store->SetStatusBoard(&context.views.status);
    return store;
  };
}

}  // namespace tillgate
