#pragma once
// What the window needs of the running server: the engine thread with its
// lines and store. The window posts commands and never waits on serial I/O.

#include <array>

#include "config/port_config.h"
#include "store/monitoring_views.h"

namespace tillgate {

class EngineLink {
 public:
  virtual ~EngineLink() = default;

  // True when start-up gave port `port_index` (0..15) a line object; false
  // for any other index.
  virtual bool HasLine(int port_index) const = 0;

  // The Start action: port i runs when start_boxes[i] is set, it is
  // connected and it has a line object; every other port falls back to its
  // connect setting. With clear_diagnostics the diagnostics rows 1..14 are
  // emptied first. Returns at once; the engine applies it before its next
  // tick.
  virtual void Start(const std::array<bool, kPortCount>& start_boxes, bool clear_diagnostics) = 0;

  // Asks the engine to rebuild the goods view at its next tick.
  virtual void RequestGoodsRefresh() = 0;

  // Lets the engine finish its current tick and stops it; returns when it has
  // stopped. Later calls do nothing.
  virtual void Stop() = 0;

  // The grids the engine writes, when it keeps its own; null when it writes
  // the window's. Lives as long as this link.
  virtual MonitoringViews* Views() { return nullptr; }
};

}  // namespace tillgate
