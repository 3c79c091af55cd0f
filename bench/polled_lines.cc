#include "bench/polled_lines.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "engine/station.h"
#include "engine/store_factory.h"
#include "line/register_peer.h"
#include "platform/platform.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kAnsweringRegisters = 3;
// The first sweep sends the start command to all ten slots; measuring starts
// once the rotation has settled.
constexpr auto kSettle = std::chrono::seconds(4);

}  // namespace

Settings ShopSettings(const BenchFolder& folder) {
  Settings settings;
  settings.installed = true;
  settings.store_goods_folder = folder.path;
  settings.store_report_folder = folder.path;
  return settings;
}

Interval ServiceInterval(const PolledLines& setup, int seconds) {
  BenchFolder folder;
  Settings settings = ShopSettings(folder);
  std::vector<std::unique_ptr<RegisterPeer>> peers;
  for (int l = 0; l < setup.lines; ++l) {
    auto peer = std::make_unique<RegisterPeer>();
    if (!peer->ok()) {
      std::fprintf(stderr, "no pseudo-terminal\n");
      std::exit(1);
    }
    peer->SetLineSpeed(setup.line_speed);
    peer->SetReply('f');
    peer->SetAnswering({1, 2, 3});
    PortConfig& port = settings.ports[static_cast<size_t>(l)];
    port.connect = port.start = port.model = 1;
    port.device = peer->DevicePath();
    port.mask = "25CCCCCWWWWW";
    port.name_lines = "NC";
    port.quick = setup.quick;
    settings.start_checked[static_cast<size_t>(l)] = true;
    peers.push_back(std::move(peer));
  }
  StationOptions options(SystemServices());
  options.make_store = ServerStoreFactory();
  if (setup.traced) {
    options.trace.ports.set();
    options.trace.folder = folder.path + "/trace";
  }
  Station station(settings, std::move(options));
  Engine& engine = station.GetEngine();
  engine.Start(station.StoredStartBoxes(), false);
  engine.Launch();
  const Clock::time_point from = Clock::now() + kSettle;
  std::this_thread::sleep_until(from + std::chrono::seconds(seconds));
  engine.Stop();

  std::vector<double> intervals;
  for (auto& peer : peers) {
    for (int nn = 1; nn <= kAnsweringRegisters; ++nn) {
      const auto times = peer->PollTimes(nn);
      for (size_t i = 1; i < times.size(); ++i) {
        if (times[i - 1] < from) continue;
        intervals.push_back(
            std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
      }
    }
  }
  Interval result;
  result.count = intervals.size();
  if (intervals.empty()) return result;
  std::nth_element(intervals.begin(), intervals.begin() + intervals.size() / 2, intervals.end());
  result.median_ms = intervals[intervals.size() / 2];
  return result;
}

}  // namespace tillgate
