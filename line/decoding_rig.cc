#include "line/decoding_rig.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace tillgate {

void DecodingRig::Build(const std::string& goods_folder, const std::string& report_folder,
                        FileSystem& files, EventSink* events, int port_index,
                        const RigLineSettings& settings, std::unique_ptr<SerialDevice> device) {
  line.reset();
  fake = nullptr;
  store.reset();  // its journal's lock goes before the next store takes it
  store = std::make_unique<TDB>(goods_folder, report_folder, files, events, settings.state_folder);
  store->SetViews(&views.goods, &views.report, &views.diagnostics);
  store->SetTrackStock(settings.track_stock);

  const auto port = static_cast<size_t>(port_index);
  runtime = {};
  barcodes = {};
  std::snprintf(runtime[port].port_name, sizeof runtime[port].port_name, "COM%u",
                static_cast<unsigned>(port_index + 1) % 100u);
  std::strcpy(runtime[port].model_name, "EKR");
  std::strncpy(barcodes[port].mask, settings.mask, kMaskCapacity);
  barcodes[port].split_length = settings.split_length;
  barcodes[port].first_line = settings.first_line;
  barcodes[port].second_line = settings.second_line;

  if (!device) {
    auto recording = std::make_unique<FakeSerialDevice>();
    fake = recording.get();
    device = std::move(recording);
  }
  line = std::make_unique<TKkmEkr>(port_index, runtime[port].port_name, "/dev/fake",
                                   std::move(device), events);
  line->SetTables(&runtime, &barcodes);
  line->SetStore(store.get());
}

}  // namespace tillgate
