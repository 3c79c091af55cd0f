#pragma once
// The server as start-up assembles it from the loaded settings: the run-time
// and barcode tables, one line object per port connected with a register
// model (its port opened at once), the monitoring views, the store with
// message decoding, DelayEvent and the engine; Start runs at the end when
// auto start is 1.

#include <array>
#include <functional>
#include <memory>

#include "config/settings.h"
#include "config/tables.h"
#include "line/engine.h"
#include "line/event.h"
#include "config/event_sink.h"
#include "line/kkm_ekr.h"
#include "line/message_decoder.h"
#include "line/store_steps.h"
#include "serial/serial_device.h"
#include "store/monitoring_views.h"

namespace tillgate {

class TDB;

// What the store and decoding are built from; everything lives as long as
// the station.
struct StoreContext {
  const Settings& settings;
  MonitoringViews& views;
  LineRuntimes& runtime;
  BarcodeSetups& barcodes;
  TEvent& delay;
  EventSink* events;
};

// The store's tick steps and the decoder of every line. Either may be null:
// then the ticks run no store steps, or accepted answers go undecoded.
struct StoreBundle {
  std::unique_ptr<StoreSteps> steps;
  std::unique_ptr<MessageDecoder> decoder;
  // The store decoding looks goods up in and closes documents in; owned by
  // `steps`. Null: goods messages are refused.
  TDB* store = nullptr;
};

struct StationOptions {
  // Builds the store once the lines exist; empty = no store, no decoding.
  std::function<StoreBundle(const StoreContext&)> make_store;
  // The serial device of a port; empty (or a null result) = POSIX termios.
  std::function<std::unique_ptr<SerialDevice>(int port_index)> make_device;
  EventSink* events = nullptr;  // not owned
};

class Station {
 public:
  // Builds everything in start-up order; runs Start with the stored start
  // boxes (diagnostics kept) when settings.auto_start is 1. The engine
  // thread is not launched.
  Station(const Settings& settings, StationOptions options);
  // Stops the engine before anything it uses goes away.
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  bool HasLine(int port_index) const;
  // Null for a port without a line object (or an index outside 0..15).
  TKkmEkr* Line(int port_index) const;
  MonitoringViews& Views() { return views_; }
  Engine& GetEngine() { return *engine_; }
  LineRuntimes& Runtime() { return tables_.runtime; }
  BarcodeSetups& Barcodes() { return tables_.barcodes; }
  TEvent& Delay() { return delay_; }
  StoreSteps* Store() const { return store_.steps.get(); }
  const Settings& GetSettings() const { return settings_; }
  // The start boxes as loaded (checked only for connected ports).
  StartBoxes StoredStartBoxes() const;
  bool AutoStarted() const { return auto_started_; }

 private:
  Settings settings_;
  EventSink* events_;
  MonitoringViews views_;
  TEvent delay_{kDelayEventName, true};
  std::array<std::unique_ptr<TKkmEkr>, kPortCount> lines_;
  Tables tables_;
  StoreBundle store_;
  std::unique_ptr<Engine> engine_;
  bool auto_started_ = false;
};

}  // namespace tillgate
