#include "app/window/station_engine.h"

namespace tillgate {

std::unique_ptr<EngineLink> MakeStationEngine(const Settings& /*settings*/,
                                              MonitoringViews& /*views*/) {
  return nullptr;  // joined to the station once the engine lands
}

}  // namespace tillgate
