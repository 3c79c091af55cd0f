#pragma once
// The per-port tables: what the operator configured (PortConfig), what the
// server runs with (LineRuntime, BarcodeSetup). Sixteen of each; index i is
// the port the operator knows as COM(i+1).

#include <array>
#include <cstdint>
#include <string>

namespace tillgate {

inline constexpr int kPortCount = 16;

// Register models; 0 means none chosen.
inline constexpr uint8_t kModelEkr3102F = 1;
inline constexpr uint8_t kModelElektronika92 = 2;
inline constexpr uint8_t kModelLadogaF = 3;

// Run states of LineRuntime::state.
inline constexpr uint8_t kLineNotConnected = 0;
inline constexpr uint8_t kLineConnected = 1;
inline constexpr uint8_t kLineRunning = 2;

struct PortConfig {
  uint8_t connect = 0;     // 0 or 1
  uint8_t start = 0;       // 0 or 1
  uint8_t model = 0;       // 1..3, 0 = none
  std::string mask;        // weight-barcode mask, e.g. "25CCCCCWWWWW"
  std::string name_lines;  // two letters "N"/"C", e.g. "NC"
  int32_t split_length = 0;
  std::string device;  // serial device path; empty = /dev/ttyS<index>
  // Options of the line whose absence keeps the line as it always was:
  bool quick = false;   // QUICKn: a read ends as soon as the frame is complete
  bool strict = false;  // STRICTn: an answer must name the polled register and add up
};

struct LineRuntime {
  uint8_t state = kLineNotConnected;
  char port_name[7] = {};   // "COM1".."COM16", zero-terminated
  int32_t port_number = 0;  // 1..16
  char model_name[8] = {};  // "EKR" for models 1..3, else empty
};

inline constexpr int kMaskCapacity = 17;

struct BarcodeSetup {
  char first_line = 0;
  char second_line = 0;
  char mask[kMaskCapacity + 1] = {};  // at most 17 characters, zero-terminated
  int32_t split_length = 0;
};

using PortConfigs = std::array<PortConfig, kPortCount>;
using LineRuntimes = std::array<LineRuntime, kPortCount>;
using BarcodeSetups = std::array<BarcodeSetup, kPortCount>;

}  // namespace tillgate
