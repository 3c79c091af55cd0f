#pragma once
// The store the server runs with, for the programs that build a station (the
// window and the headless server).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/station.h"

namespace tillgate {

using StoreFactory = std::function<std::unique_ptr<Store>(const StoreContext&)>;

// Whether the store shows the goods file in the goods view: a server with no
// window to show it keeps none.
enum class GoodsView : uint8_t { kShown, kNotShown };

// The factory of the real store: TDB over the settings' store folders, with
// the goods (unless not shown), report and diagnostics views and stock
// tracking as set, its journal in `state_folder` (empty: no journal), and a
// new goods file's index built while the old file keeps serving.
StoreFactory ServerStoreFactory(const std::string& state_folder = std::string(),
                                GoodsView goods_view = GoodsView::kShown);

}  // namespace tillgate
