#pragma once
// The operator's configuration: loaded once while the window is built, saved
// only when the operator leaves through the exit button and agrees to save.

#include <array>
#include <cstdint>
#include <string>

#include "config/port_config.h"
#include "platform/registry_store.h"
#include "platform/status.h"

namespace tillgate {

struct Settings {
  PortConfigs ports;  // index i = COM(i+1)
  std::string goods_folder = "D:\\";
  std::string report_folder = "D:\\";
  bool track_stock = false;
  int32_t auto_start = 0;
  // RESCAN: every so many seconds each running line offers its dropped
  // registers a start command and opens its port again when it is closed;
  // 0 = never.
  uint32_t rescan_seconds = 0;
  bool installed = false;
  // Folders handed to the store: full text when installed, empty otherwise.
  std::string store_goods_folder, store_report_folder;
  // Control states the load asks the window to show.
  std::array<bool, kPortCount> connect_checked{};
  std::array<bool, kPortCount> start_checked{};  // only when connect == 1
  int32_t shown_split_length = 0;                // COM2's, for the split-length field
};

struct LoadResult {
  Status status;
  Settings settings;
};

// Reads the settings from `store`. Without the key Tillgate both folders are
// `working_dir` and nothing else is read. A value of the wrong type stops the
// load with "Invalid data type for '<name>'"; the settings read so far are
// returned with it (the caller ends the program).
LoadResult LoadSettings(RegistryStore& store, const std::string& working_dir);

// What the window's controls show at save time.
struct SaveControls {
  std::array<bool, kPortCount> connect_checked{};
  std::array<bool, kPortCount> start_checked{};
  std::string goods_field, report_field;
  bool auto_start_checked = false;
};

// Writes the settings back when Tillgate exists (sets settings.installed
// from that test); writes nothing otherwise. Updates settings.ports[i].connect
// and start from the boxes as it writes. A refused write stops the save with
// "Failed to set data for '<name>'"; values written before it stay written.
// Values the window does not show (RESCAN, QUICKn, STRICTn) are never
// written, so a save leaves them as they are.
Status SaveSettings(RegistryStore& store, Settings& settings, const SaveControls& controls);

// The serial device of port `port_index` (0..15): its DEVICEn value when set,
// else the system's device for it (DefaultDevicePath: "/dev/ttyS<index>").
// Empty for an index outside 0..15.
std::string DevicePath(const Settings& settings, int port_index);

}  // namespace tillgate
