// How often one register is served, with one line of three registers and
// with sixteen such lines polled at once, and what an idle server costs.
//
// Registers on pseudo-terminals answer every poll with "f" (nothing to say);
// the service interval of a register is the time between two poll bytes it
// receives. Printed: the median interval of each setup and their ratio (1.0
// when lines do not wait for one another), then the CPU share and the
// context switches per second of a server with no line running.
//
// Usage: line_service_bench [seconds per setup, default 20] [idle seconds, default 20]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/polled_lines.h"
#include "engine/station.h"
#include "engine/store_factory.h"
#include "platform/platform.h"
#include "platform/posix/process_usage.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

// A server with its store over a folder and no line running, left alone.
void Idle(int seconds) {
  BenchFolder folder;
  StationOptions options(SystemServices());
  options.make_store = ServerStoreFactory();
  Station station(ShopSettings(folder), std::move(options));
  station.GetEngine().Launch();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const testing::ProcessUsage before = testing::OwnUsage();
  const Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const testing::ProcessUsage after = testing::OwnUsage();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  station.GetEngine().Stop();
  const double cpu = after.cpu_seconds - before.cpu_seconds;
  const double switches = static_cast<double>(after.context_switches - before.context_switches);
  std::printf("idle, no line running, %.1f s: CPU %.3f %% of a core, %.1f context switches/s\n",
              wall, 100.0 * cpu / wall, switches / wall);
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const int idle_seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const auto one = tillgate::ServiceInterval({1}, seconds);
  std::printf("1 line x 3 registers:   median service interval %.1f ms (%zu intervals)\n",
              one.median_ms, one.count);
  const auto sixteen = tillgate::ServiceInterval({16}, seconds);
  std::printf("16 lines x 3 registers: median service interval %.1f ms (%zu intervals)\n",
              sixteen.median_ms, sixteen.count);
  if (one.median_ms > 0) std::printf("ratio 16x3 / 1x3: %.3f\n", sixteen.median_ms / one.median_ms);
  tillgate::Idle(idle_seconds);
  return 0;
}
