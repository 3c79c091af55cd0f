// Parsing a settings file grows linearly with its size: files of 10,000 to
// 80,000 values, all in one key and spread over many keys. The figure to
// read is the fitted complexity and the time per value at each size (within
// one run); 80,000 values should take a small fraction of a second.

#include <benchmark/benchmark.h>

#include <string>

#include "config/reg_document.h"

namespace {

// `values` string and dword values in `keys` keys, as an export writes them.
std::string SettingsFile(int values, int keys) {
  std::string file = "Windows Registry Editor Version 5.00\r\n\r\n";
  const int per_key = values / keys;
  for (int k = 0; k < keys; ++k) {
    file += "[HKEY_CURRENT_USER\\Tillgate\\Bulk" + std::to_string(k) + "]\r\n";
    for (int v = 0; v < per_key; ++v) {
      const std::string n = std::to_string(v);
      file += (v % 2) ? "\"Value" + n + "\"=dword:0000002a\r\n"
                      : "\"Value" + n + "\"=\"/srv/shop/folder " + n + "\"\r\n";
    }
    file += "\r\n";
  }
  return file;
}

void Parse(benchmark::State& state, int keys_divisor) {
  const int values = static_cast<int>(state.range(0));
  const int keys = keys_divisor == 0 ? 1 : values / keys_divisor;
  const std::string file = SettingsFile(values, keys);
  for (auto _ : state) {
    tillgate::RegDocument document;
    tillgate::Status status = tillgate::ParseRegFile(file, &document);
    if (!status.ok()) state.SkipWithError(status.message().c_str());
    benchmark::DoNotOptimize(document);
  }
  state.SetComplexityN(values);
  state.counters["values"] = values;
}

void OneKey(benchmark::State& state) { Parse(state, 0); }
void FourValuesPerKey(benchmark::State& state) { Parse(state, 4); }

BENCHMARK(OneKey)
    ->RangeMultiplier(2)
    ->Range(10000, 80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(FourValuesPerKey)
    ->RangeMultiplier(2)
    ->Range(10000, 80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
