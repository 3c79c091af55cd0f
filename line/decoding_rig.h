#pragma once
// One line object on a fake serial device, decoding into a real store: the
// wiring the station does at start-up, for tests, benchmarks and fuzzing.

#include <memory>
#include <string>

#include "config/port_config.h"
#include "line/kkm_ekr.h"
#include "platform/fake_serial_device.h"
#include "platform/file_system.h"
#include "store/monitoring_views.h"
#include "store/tdb.h"

namespace tillgate {

struct RigLineSettings {
  const char* mask = "25CCCCCWWWWW";
  int split_length = 0;
  char first_line = 'N';
  char second_line = 'C';
  bool track_stock = false;
  std::string state_folder;  // the store's journal; empty: none
};

class DecodingRig {
 public:
  // (Re)builds the store over the two folders in `files` and the line
  // "COM<port_index + 1>" with `settings`; the line is torn down before the
  // store it refers to. The line works through `device` when one is given
  // (`fake` is then null), else through a new FakeSerialDevice.
  void Build(const std::string& goods_folder, const std::string& report_folder, FileSystem& files,
             EventSink* events, int port_index, const RigLineSettings& settings,
             std::unique_ptr<SerialDevice> device = nullptr);

  MonitoringViews views;
  LineRuntimes runtime{};
  BarcodeSetups barcodes{};
  std::unique_ptr<TDB> store;
  FakeSerialDevice* fake = nullptr;  // owned by `line`
  std::unique_ptr<TKkmEkr> line;
};

}  // namespace tillgate
