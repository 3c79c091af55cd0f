#pragma once
// The store the server runs with, for the programs that build a station (the
// window and the headless server).

#include <functional>
#include <memory>

#include "line/station.h"

namespace tillgate {

using StoreFactory = std::function<std::unique_ptr<Store>(const StoreContext&)>;

// The factory of the real store: TDB over the settings' store folders, with
// the goods, report and diagnostics views and stock tracking as set.
StoreFactory ServerStoreFactory();

}  // namespace tillgate
