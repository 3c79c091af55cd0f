#include "app/presenter/station_engine.h"

#include "engine/station.h"
#include "engine/store_factory.h"
#include "platform/platform.h"

namespace tillgate {
namespace {

// The window runs the automatic start itself (it marks ports it could not
// start), so the station must not run it a second time.
Settings WithoutAutoStart(Settings settings) {
  settings.auto_start = 0;
  return settings;
}

class StationEngine final : public EngineLink {
 public:
  StationEngine(const Settings& settings, EventSink* events, const std::string& state_folder,
                const TraceOptions& trace)
      : station_(WithoutAutoStart(settings), Options(settings, events, state_folder, trace)) {
    station_.GetEngine().Launch();
  }
  ~StationEngine() override { station_.GetEngine().Stop(); }

  bool HasLine(int port_index) const override { return station_.HasLine(port_index); }
  void Start(const std::array<bool, kPortCount>& start_boxes, bool clear_diagnostics) override {
    station_.GetEngine().PostStart(start_boxes, clear_diagnostics);
  }
  void RequestGoodsRefresh() override { station_.GetEngine().PostGoodsRefresh(); }
  void Stop() override { station_.GetEngine().Stop(); }
  MonitoringViews* Views() override { return &station_.Views(); }

 private:
  static StationOptions Options(const Settings& settings, EventSink* events,
                                const std::string& state_folder, const TraceOptions& trace) {
    StationOptions options(SystemServices());
    options.make_store = ServerStoreFactory(state_folder);
    // status.json for monitoring tools, as the headless server writes it.
    if (settings.installed) options.status_folder = state_folder;
    options.events = events;
    options.trace = trace;
    return options;
  }

  Station station_;
};

}  // namespace

std::unique_ptr<EngineLink> MakeStationEngine(const Settings& settings, EventSink* events,
                                              const std::string& state_folder,
                                              const TraceOptions& trace) {
  return std::make_unique<StationEngine>(settings, events, state_folder, trace);
}

}  // namespace tillgate
