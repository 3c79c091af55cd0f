// Arbitrary bytes as server traffic and as scenario text: the checks must
// report, never crash, and every event must account for bytes received.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/regsim/scenario.h"
#include "tools/regsim/server_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tillgate::regsim;
  ServerFrameReader reader;
  std::vector<ServerEvent> events;
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
  ParseScenarioText(std::string(reinterpret_cast<const char*>(data), size), &scenario, &error);
  return 0;
}
