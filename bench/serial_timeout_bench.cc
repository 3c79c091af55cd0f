// How closely the emulated read time-outs keep their deadlines on a
// pseudo-terminal: for each case, many reads, and the error (actual minus
// expected duration) as median, spread (10th to 90th percentile) and extremes.
//
//   serial_timeout_bench [reads per case, default 40]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/pty_pair.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

void PrintRow(const char* name, double expected_ms, const std::vector<double>& errors) {
  std::printf("%-34s %9.1f %9.3f %9.3f %9.3f %9.3f %9.3f\n", name, expected_ms,
              Percentile(errors, 0.5), Percentile(errors, 0.1), Percentile(errors, 0.9),
              *std::min_element(errors.begin(), errors.end()),
              *std::max_element(errors.begin(), errors.end()));
}

// Nothing arrives: the read ends at the total deadline 4 * count + 4 ms.
std::vector<double> SilentReads(SerialDevice& device, size_t count, int reads) {
  std::vector<double> errors;
  std::vector<uint8_t> buffer(count);
  ReadTimeouts timeouts;
  const double expected = static_cast<double>(TotalReadMs(timeouts, count));
  for (int i = 0; i < reads; ++i) {
    size_t got = 0;
    auto start = Clock::now();
    device.Read(buffer.data(), count, timeouts, &got);
    errors.push_back(Ms(Clock::now() - start) - expected);
  }
  return errors;
}

// Five bytes, then silence, on a 100-byte read (total deadline 404 ms): the
// read ends 100 ms after the last byte.
std::vector<double> IntervalReads(PtyPair& pty, SerialDevice& device, int reads) {
  std::vector<double> errors;
  uint8_t buffer[100];
  ReadTimeouts timeouts;
  for (int i = 0; i < reads; ++i) {
    pty.Send({1, 2, 3, 4, 5});
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // bytes are in
    size_t got = 0;
    auto start = Clock::now();
    device.Read(buffer, sizeof buffer, timeouts, &got);
    errors.push_back(Ms(Clock::now() - start) - timeouts.interval_ms);
  }
  return errors;
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  using namespace tillgate;
  const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  PtyPair pty;
  if (!pty.ok()) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }
  // The system's serial device, as the server reads through it.
  auto device = NewSystemSerialDevice();
  const Status opened = device->Open(pty.SlavePath());
  if (!opened.ok()) {
    std::fprintf(stderr, "%s\n", opened.message().c_str());
    return 1;
  }
  std::printf("time-out error in ms over %d reads per case (actual - expected)\n", reads);
  std::printf("%-34s %9s %9s %9s %9s %9s %9s\n", "case", "expected", "median", "p10", "p90", "min",
              "max");
  PrintRow("nothing arriving, read 20", 84, SilentReads(*device, 20, reads));
  PrintRow("nothing arriving, read 40", 164, SilentReads(*device, 40, reads));
  PrintRow("5 bytes then silence, read 100", 100, IntervalReads(pty, *device, reads));
  return 0;
}
