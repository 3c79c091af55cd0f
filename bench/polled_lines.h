#pragma once
// For the benchmarks: lines of three registers on pseudo-terminals that
// answer every poll with "f" (nothing to say), served by a station with its
// threads, and the service interval of a register (the time between two
// poll bytes it receives) measured once the rotation has settled.

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "platform/scratch_dir.h"

namespace tillgate {

// A scratch folder, removed with its contents.
struct BenchFolder {
  testing::ScratchDir scratch;
  std::string path = scratch.path();
};

// Installed, with the goods and report folders in `folder`.
Settings ShopSettings(const BenchFolder& folder);

struct PolledLines {
  int lines = 1;
  // Bits per second of the serial line the registers play; 0: none, bytes
  // arrive at once.
  uint32_t line_speed = 0;
  bool quick = false;
  bool traced = false;
};

struct Interval {
  double median_ms = 0;
  size_t count = 0;
};

// Serves the lines for `seconds` after the first sweep has settled; the
// median service interval of their registers.
Interval ServiceInterval(const PolledLines& setup, int seconds);

}  // namespace tillgate
