// Building the run-time and barcode tables from the loaded configuration.

#include "config/tables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tillgate {
namespace {

constexpr char kEkrModelName[] = "EKR";

bool IsKnownModel(uint8_t model) { return model >= kModelEkr3102F && model <= kModelLadogaF; }

void FillRuntime(const PortConfig& port, int index, LineRuntime& runtime) {
  runtime.state = port.connect == 1 ? kLineConnected : kLineNotConnected;
  runtime.port_number = index + 1;
  std::memset(runtime.model_name, 0, sizeof runtime.model_name);
  if (IsKnownModel(port.model)) {
    std::snprintf(runtime.model_name, sizeof runtime.model_name, "%s", kEkrModelName);
  }
  std::snprintf(runtime.port_name, sizeof runtime.port_name, "COM%d", index + 1);
}

// The mask is cut to what the table holds; the letters missing from a short
// name-line setting stay zero.
void CopyDecodingSettings(const PortConfig& port, BarcodeSetup& setup) {
  size_t length = std::min(port.mask.size(), static_cast<size_t>(kMaskCapacity));
  std::memset(setup.mask, 0, sizeof setup.mask);
  std::memcpy(setup.mask, port.mask.data(), length);
  setup.first_line = port.name_lines.size() > 0 ? port.name_lines[0] : 0;
  setup.second_line = port.name_lines.size() > 1 ? port.name_lines[1] : 0;
}

}  // namespace

Tables BuildTables(const Settings& settings, const LineFactory& create_line) {
  Tables tables;
  for (int i = 0; i < kPortCount; ++i) {
    tables.barcodes[i].split_length = settings.ports[i].split_length;
    FillRuntime(settings.ports[i], i, tables.runtime[i]);
  }
  for (int i = 0; i < kPortCount; ++i) {
    const LineRuntime& runtime = tables.runtime[i];
    if (runtime.state != kLineConnected || std::strcmp(runtime.model_name, kEkrModelName) != 0) {
      continue;
    }
    if (create_line) create_line(i, runtime);
    CopyDecodingSettings(settings.ports[i], tables.barcodes[i]);
  }
  return tables;
}

}  // namespace tillgate
