#pragma once
// The store and message decoding the server runs with, for the programs that
// build a station (the window and the headless server).

#include <functional>

#include "line/station.h"

namespace tillgate {

using StoreFactory = std::function<StoreBundle(const StoreContext&)>;

// The factory of the real store (TDB over the settings' store folders, the
// goods and report views, stock tracking as set) and of the decoder that
// answers registers from it.
StoreFactory ServerStoreFactory();

}  // namespace tillgate
