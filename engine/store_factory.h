#pragma once
// The store the server runs with, for the programs that build a station (the
// window and the headless server).

#include <functional>
#include <memory>
#include <string>

#include "engine/station.h"

namespace tillgate {

using StoreFactory = std::function<std::unique_ptr<Store>(const StoreContext&)>;

// The factory of the real store: TDB over the settings' store folders, with
// the goods, report and diagnostics views and stock tracking as set, and its
// journal in `state_folder` (empty: no journal).
StoreFactory ServerStoreFactory(const std::string& state_folder = std::string());

}  // namespace tillgate
