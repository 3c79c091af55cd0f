#pragma once
// What start-up builds from the loaded configuration: the run-time table and
// the barcode table, and a line object for each port connected with a model.

#include <functional>

#include "config/port_config.h"
#include "config/settings.h"

namespace tillgate {

struct Tables {
  LineRuntimes runtime;
  BarcodeSetups barcodes;
};

// Creates the line object of one port; gets the port's finished runtime entry.
using LineFactory = std::function<void(int port_index, const LineRuntime& runtime)>;

// Steps 1..4 of building the tables: calls create_line for every port with
// state 1 and model name "EKR", in port order, then copies mask/letters.
// A mask longer than 17 characters is cut to 17. `create_line` may be empty.
Tables BuildTables(const Settings& settings, const LineFactory& create_line);

}  // namespace tillgate
