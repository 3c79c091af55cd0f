// What QUICK and the protocol trace do to a register's service interval, all
// measured in one run: one line of three registers that answer every poll
// with "f" (nothing to say), with QUICK off and on, each untraced and traced.
//
// The registers play a 9600-baud line on a pseudo-terminal: each byte takes
// its time on the wire, both ways. A register's service interval is the
// time between two poll bytes it receives. Printed: the median interval of
// each setup; for QUICK its ratio to the wire time of the exchanges
// themselves (poll byte, "f" frame, "+" answer: 13 bytes per register); for
// the trace the added time per exchange.
//
// Usage: exchange_bench [seconds per setup, default 15]

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/polled_lines.h"

namespace tillgate {
namespace {

constexpr int kRegisters = 3;
constexpr uint32_t kLineSpeed = 9600;
constexpr int kBytesPerExchange = 1 + 6 + 6;  // poll byte, "f", "+"

struct Setup {
  const char* name;
  bool quick;
  bool traced;
};

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  using tillgate::Setup;
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const double wire_ms =
      tillgate::kRegisters * tillgate::kBytesPerExchange * 10 * 1000.0 / tillgate::kLineSpeed;
  const Setup setups[] = {{"QUICK off", false, false},
                          {"QUICK off, traced", false, true},
                          {"QUICK on", true, false},
                          {"QUICK on, traced", true, true}};
  tillgate::Interval results[4];
  for (int i = 0; i < 4; ++i) {
    tillgate::PolledLines lines;
    lines.line_speed = tillgate::kLineSpeed;
    lines.quick = setups[i].quick;
    lines.traced = setups[i].traced;
    results[i] = tillgate::ServiceInterval(lines, seconds);
    std::printf("1 line x 3 registers, %-18s median service interval %7.1f ms (%zu intervals)\n",
                setups[i].name, results[i].median_ms, results[i].count);
  }
  std::printf("wire time of the exchanges at 9600 baud: %.1f ms\n", wire_ms);
  std::printf("QUICK on / wire time: %.2f (goal at most 1.50); QUICK off / on: %.1f\n",
              results[2].median_ms / wire_ms, results[0].median_ms / results[2].median_ms);
  std::printf("trace cost per exchange: QUICK off %+.2f ms, QUICK on %+.2f ms (goal within 1 ms)\n",
              (results[1].median_ms - results[0].median_ms) / tillgate::kRegisters,
              (results[3].median_ms - results[2].median_ms) / tillgate::kRegisters);
  return 0;
}
