#include "line/station.h"

#include <utility>

namespace tillgate {

Station::Station(const Settings& settings, StationOptions options)
    : settings_(settings), events_(options.events) {
  views_.WriteHeadings();
  tables_ = BuildTables(settings_, [&](int port, const LineRuntime& runtime) {
    std::unique_ptr<SerialDevice> device;
    if (options.make_device) device = options.make_device(port);
    lines_[static_cast<size_t>(port)] = std::make_unique<TKkmEkr>(
        port, runtime.port_name, DevicePath(settings_, port), std::move(device), events_);
  });
  if (options.make_store) store_ = options.make_store(StoreContext{settings_, views_, events_});
  EngineParts parts;
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    parts.lines[p] = lines_[p].get();
    parts.connect[p] = settings_.ports[p].connect;
    if (!lines_[p]) continue;
    lines_[p]->SetTables(&tables_.runtime, &tables_.barcodes);
    lines_[p]->SetDelayEvent(&delay_);
    lines_[p]->SetStore(store_.get());
  }
  parts.runtime = &tables_.runtime;
  parts.store = store_.get();
  parts.delay = &delay_;
  parts.diagnostics = &views_.diagnostics;
  parts.events = events_;
  if (store_) parts.watched_folders = {settings_.store_goods_folder, settings_.store_report_folder};
  engine_ = std::make_unique<Engine>(parts);
  if (settings_.auto_start == 1) {
    engine_->Start(StoredStartBoxes(), false);
    auto_started_ = true;
  }
}

Station::~Station() { engine_->Stop(); }

bool Station::HasLine(int port_index) const { return Line(port_index) != nullptr; }

TKkmEkr* Station::Line(int port_index) const {
  if (port_index < 0 || port_index >= kPortCount) return nullptr;
  return lines_[static_cast<size_t>(port_index)].get();
}

StartBoxes Station::StoredStartBoxes() const {
  StartBoxes boxes{};
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    boxes[p] = settings_.start_checked[p];
  }
  return boxes;
}

}  // namespace tillgate
