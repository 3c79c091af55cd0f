#pragma once
// For tests: an engine link that records the window's commands.

#include <array>
#include <vector>

#include "app/presenter/engine_link.h"

namespace tillgate::testing {

class FakeEngine final : public EngineLink {
 public:
  struct StartCall {
    std::array<bool, kPortCount> boxes;
    bool clear_diagnostics;
  };
  std::array<bool, kPortCount> lines{};
  std::vector<StartCall> starts;
  int refresh_requests = 0;
  int stops = 0;
  // The grids the engine keeps itself; null: it writes the window's.
  MonitoringViews* own_views = nullptr;

  bool HasLine(int port_index) const override {
    return port_index >= 0 && port_index < kPortCount && lines[port_index];
  }
  void Start(const std::array<bool, kPortCount>& boxes, bool clear_diagnostics) override {
    starts.push_back({boxes, clear_diagnostics});
  }
  void RequestGoodsRefresh() override { ++refresh_requests; }
  void Stop() override { ++stops; }
  MonitoringViews* Views() override { return own_views; }
};

}  // namespace tillgate::testing
