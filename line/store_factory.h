#pragma once
// The store and message decoding the server runs with, for the programs that
// build a station (the window and the headless server).

#include <functional>

#include "line/station.h"

namespace tillgate {

using StoreFactory = std::function<StoreBundle(const StoreContext&)>;

// The factory of the real store and decoder. Until they are wired in it
// builds nothing: ticks then run no store steps and answers go undecoded.
StoreFactory ServerStoreFactory();

}  // namespace tillgate
