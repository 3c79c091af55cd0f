// Arbitrary bytes as server traffic and as scenario text: the checks must
// report, never crash, and every event must account for bytes received.
//
// Inputs are at most TILLGATE_FUZZ_MAX_LEN (2048) bytes: the simulator takes
// the line's traffic 256 bytes a read, so that is eight reads, and a
// scenario of the demo's size (about 1 KB) fits twice over.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/regsim/scenario.h"
#include "tools/regsim/server_frame.h"

namespace {
constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tillgate::regsim;
  if (size > kMaxInput) return -1;
  ServerFrameReader reader;
  std::vector<ServerEvent> events;
  events.reserve(size + 1);  // at most one event a byte
  const Clock::time_point t0 = Clock::now();
  // Split the input at the first byte's value to vary the chunking.
  const size_t cut = size > 0 ? data[0] % (size + 1) : 0;
  reader.Feed(data, cut, t0, &events);
  reader.Feed(data + cut, size - cut, t0, &events);
  reader.Expire(t0 + std::chrono::seconds(1), &events);
  size_t seen = 0;
  for (const ServerEvent& e : events) seen += e.bytes.size();
  if (seen != size) __builtin_trap();

  Scenario scenario;
  std::string error;
  ParseScenarioText(std::string_view(reinterpret_cast<const char*>(data), size), &scenario, &error);
  return 0;
}
