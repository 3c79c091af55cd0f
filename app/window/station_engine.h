#pragma once
// The window's link to the real server: the station with its engine thread,
// lines and store.

#include <memory>

#include "app/window/engine_link.h"
#include "config/settings.h"
#include "store/monitoring_views.h"

namespace tillgate {

// Builds the station from the loaded settings. The views must outlive it.
std::unique_ptr<EngineLink> MakeStationEngine(const Settings& settings, MonitoringViews& views);

}  // namespace tillgate
