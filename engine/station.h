#pragma once
// The server as start-up assembles it from the loaded settings: the shop's
// folders checked (and looked at again by the engine while it runs), the run-time
// and barcode tables, one line object per port connected with a register
// model (its port opened at once, its options QUICKn, STRICTn and RESCAN
// set, its protocol trace when asked for), the monitoring views, the store,
// DelayEvent and the engine; Start runs at the end when auto start is 1.

#include <array>
#include <functional>
#include <memory>

#include "config/event_sink.h"
#include "config/folder_reporter.h"
#include "config/settings.h"
#include "config/tables.h"
#include "engine/engine.h"
#include "engine/status_file.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "line/protocol_trace.h"
#include "line/trace_options.h"
#include "platform/folder_watch.h"
#include "platform/platform_services.h"
#include "store/monitoring_views.h"
#include "store/store.h"

namespace tillgate {

// What the store is built from; everything lives as long as the station.
struct StoreContext {
  const Settings& settings;
  MonitoringViews& views;
  EventSink* events;
  FileSystem& files;
};

struct StationOptions {
  explicit StationOptions(PlatformServices services) : platform(std::move(services)) {}

  // The system's files, serial devices and folder watch (or a test's).
  PlatformServices platform;
  // Builds the store once the lines exist; empty (or a null result) = no
  // store: the ticks run no store steps and goods messages are refused.
  std::function<std::unique_ptr<Store>(const StoreContext&)> make_store;
  EventSink* events = nullptr;  // not owned
  // Ports whose bytes are traced, each to "COMn.trace" in trace.folder
  // (which the program sets, see TraceFolder).
  TraceOptions trace;
  // Where status.json goes (the state folder); empty: no status file.
  std::string status_folder;
  StatusFileOptions status_file;
};

class Station {
 public:
  // Builds everything in start-up order; runs Start with the stored start
  // boxes (diagnostics kept) when settings.auto_start is 1. The engine's
  // threads are not launched; the status file (when asked for) is written
  // from now on.
  Station(const Settings& settings, StationOptions options);
  // Stops the engine before anything it uses goes away, then writes the
  // status file a last time.
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  bool HasLine(int port_index) const;
  // Null for a port without a line object (or an index outside 0..15).
  TKkmEkr* Line(int port_index) const;
  MonitoringViews& Views() { return views_; }
  const StatusBoard& Status() const { return views_.status; }
  Engine& GetEngine() { return *engine_; }
  LineRuntimes& Runtime() { return tables_.runtime; }
  BarcodeSetups& Barcodes() { return tables_.barcodes; }
  TEvent& Delay() { return delay_; }
  Store* GetStore() const { return store_.get(); }
  const Settings& GetSettings() const { return settings_; }
  // The start boxes as loaded (checked only for connected ports).
  StartBoxes StoredStartBoxes() const;
  bool AutoStarted() const { return auto_started_; }

 private:
  Settings settings_;
  EventSink* events_;
  FolderReporter folders_;
  MonitoringViews views_;
  TEvent delay_{kDelayEventName, true};
  std::array<std::unique_ptr<ProtocolTrace>, kPortCount> traces_;
  std::array<std::unique_ptr<TKkmEkr>, kPortCount> lines_;
  Tables tables_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<FolderWatch> watch_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<StatusFile> status_file_;
  bool auto_started_ = false;
};

}  // namespace tillgate
