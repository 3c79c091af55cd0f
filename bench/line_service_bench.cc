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

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "line/register_peer.h"
#include "line/station.h"
#include "line/store_factory.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRegistersPerLine = 3;
// The first sweep sends the start command to all ten slots; measuring starts
// once the rotation has settled.
constexpr auto kSettle = std::chrono::seconds(4);

struct Folder {
  Folder() {
    char pattern[] = "/tmp/tillgate-bench-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string path;
};

Settings ShopSettings(const Folder& folder) {
  Settings settings;
  settings.installed = true;
  settings.store_goods_folder = folder.path;
  settings.store_report_folder = folder.path;
  return settings;
}

struct Interval {
  double median_ms = 0;
  size_t count = 0;
};

// Polls `lines` lines of three "f"-answering registers for `seconds` after
// they have settled and returns the median poll-to-poll interval.
Interval ServiceInterval(int lines, int seconds) {
  Folder folder;
  Settings settings = ShopSettings(folder);
  std::vector<std::unique_ptr<RegisterPeer>> peers;
  for (int l = 0; l < lines; ++l) {
    auto peer = std::make_unique<RegisterPeer>();
    if (!peer->ok()) {
      std::fprintf(stderr, "no pseudo-terminal\n");
      std::exit(1);
    }
    peer->SetReply('f');
    peer->SetAnswering({1, 2, 3});
    PortConfig& port = settings.ports[static_cast<size_t>(l)];
    port.connect = port.start = port.model = 1;
    port.device = peer->DevicePath();
    port.mask = "25CCCCCWWWWW";
    port.name_lines = "NC";
    settings.start_checked[static_cast<size_t>(l)] = true;
    peers.push_back(std::move(peer));
  }
  StationOptions options;
  options.make_store = ServerStoreFactory();
  Station station(settings, std::move(options));
  Engine& engine = station.GetEngine();
  engine.Start(station.StoredStartBoxes(), false);
  engine.Launch();
  const Clock::time_point from = Clock::now() + kSettle;
  std::this_thread::sleep_until(from + std::chrono::seconds(seconds));
  engine.Stop();

  std::vector<double> intervals;
  for (auto& peer : peers) {
    for (int nn = 1; nn <= kRegistersPerLine; ++nn) {
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

double CpuSeconds(const rusage& u) {
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

// A server with its store over a folder and no line running, left alone.
void Idle(int seconds) {
  Folder folder;
  StationOptions options;
  options.make_store = ServerStoreFactory();
  Station station(ShopSettings(folder), std::move(options));
  station.GetEngine().Launch();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const Clock::time_point start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  getrusage(RUSAGE_SELF, &after);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  station.GetEngine().Stop();
  const double cpu = CpuSeconds(after) - CpuSeconds(before);
  const double switches = static_cast<double>((after.ru_nvcsw + after.ru_nivcsw) -
                                              (before.ru_nvcsw + before.ru_nivcsw));
  std::printf("idle, no line running, %.1f s: CPU %.3f %% of a core, %.1f context switches/s\n",
              wall, 100.0 * cpu / wall, switches / wall);
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const int idle_seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const auto one = tillgate::ServiceInterval(1, seconds);
  std::printf("1 line x 3 registers:   median service interval %.1f ms (%zu intervals)\n",
              one.median_ms, one.count);
  const auto sixteen = tillgate::ServiceInterval(16, seconds);
  std::printf("16 lines x 3 registers: median service interval %.1f ms (%zu intervals)\n",
              sixteen.median_ms, sixteen.count);
  if (one.median_ms > 0) std::printf("ratio 16x3 / 1x3: %.3f\n", sixteen.median_ms / one.median_ms);
  tillgate::Idle(idle_seconds);
  return 0;
}
