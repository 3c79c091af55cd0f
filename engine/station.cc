#include "engine/station.h"

#include <utility>

namespace tillgate {

namespace {

LineOptions OptionsOf(const Settings& settings, int port) {
  LineOptions options;
  options.quick = settings.ports[static_cast<size_t>(port)].quick;
  options.strict = settings.ports[static_cast<size_t>(port)].strict;
  options.rescan_seconds = settings.rescan_seconds;
  return options;
}

}  // namespace

Station::Station(const Settings& settings, StationOptions options)
    : settings_(settings),
      events_(options.events),
      folders_(settings_, options.platform.files, events_) {
  FileSystem& files = options.platform.files;
  // A missing folder is said before the store finds its files missing.
  folders_.Check();
  views_.WriteHeadings();
  tables_ = BuildTables(settings_, [&](int port, const LineRuntime& runtime) {
    const size_t p = static_cast<size_t>(port);
    if (options.trace.ports.test(p)) {
      traces_[p] = std::make_unique<ProtocolTrace>(
          runtime.port_name,
          NewTraceFile(files, options.trace.folder, TraceFileName(runtime.port_name)), events_);
    }
    lines_[p] = std::make_unique<TKkmEkr>(port, runtime.port_name, DevicePath(settings_, port),
                                          options.platform.make_serial_device(port), events_,
                                          traces_[p].get());
    lines_[p]->SetOptions(OptionsOf(settings_, port));
  });
  for (int i = 0; i < kPortCount; ++i) {
    views_.status.SetPort(i, tables_.runtime[static_cast<size_t>(i)].port_name,
                          DevicePath(settings_, i));
    if (lines_[static_cast<size_t>(i)])
      lines_[static_cast<size_t>(i)]->SetStatusBoard(&views_.status);
  }
  if (options.make_store)
    store_ = options.make_store(StoreContext{settings_, views_, events_, files});
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
  parts.status = &views_.status;
  parts.folders = &folders_;
  parts.events = events_;
  if (store_) parts.watched_folders = {settings_.store_goods_folder, settings_.store_report_folder};
  watch_ = options.platform.make_folder_watch();
  parts.watch = watch_.get();
  engine_ = std::make_unique<Engine>(parts);
  if (settings_.auto_start == 1) {
    engine_->Start(StoredStartBoxes(), false);
    auto_started_ = true;
  }
  if (!options.status_folder.empty()) {
    StatusFileOptions status_file = options.status_file;
    status_file.process_id = options.platform.process_id;
    status_file_ = std::make_unique<StatusFile>(views_.status, files, options.status_folder,
                                                events_, status_file);
    status_file_->Start();
  }
}

Station::~Station() {
  engine_->Stop();
  if (status_file_) status_file_->Stop();
}

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
