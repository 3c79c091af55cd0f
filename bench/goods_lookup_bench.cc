// Look-up of the last goods record in goods files of 1,000 to 1,000,000
// records of 120 bytes through the index, against the scan of the whole file
// the index replaced (measured in the same run): "lookup_us" and "scan_us"
// per look-up, and "ratio" = scan / index.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/scratch_dir.h"
#include "store/goods_file.h"

namespace tillgate {
namespace {

constexpr int kRecordLength = 120;

struct Field {
  const char* name;
  char type;
  int length, decimals;
};
constexpr Field kFields[] = {{"CODE", 'C', 13, 0},  {"NAME", 'C', 60, 0},    {"PRICE", 'N', 10, 2},
                             {"DIVNUM", 'C', 2, 0}, {"SH_CODE", 'C', 13, 0}, {"RES", 'N', 10, 3},
                             {"NOTE", 'C', 11, 0}};

std::string Padded(const std::string& s, int width, bool right) {
  const std::string pad(static_cast<size_t>(width) - s.size(), ' ');
  return right ? pad + s : s + pad;
}

// Writes tovars.dbf with `count` records into `folder`.
void WriteGoodsFile(const std::string& folder, int count) {
  const int fields = static_cast<int>(std::size(kFields));
  const int header_length = 32 + 32 * fields + 1;
  std::string header(static_cast<size_t>(header_length), '\0');
  header[0] = 3;
  std::memcpy(&header[4], &count, 4);
  header[8] = static_cast<char>(header_length & 0xFF);
  header[9] = static_cast<char>(header_length >> 8);
  header[10] = static_cast<char>(kRecordLength);
  for (int i = 0; i < fields; ++i) {
    char* d = &header[32 + 32 * i];
    std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));
    d[11] = kFields[i].type;
    d[16] = static_cast<char>(kFields[i].length);
    d[17] = static_cast<char>(kFields[i].decimals);
  }
  header[header_length - 1] = 0x0D;
  std::ofstream out(folder + "/tovars.dbf", std::ios::binary | std::ios::trunc);
  out << header;
  for (int i = 1; i <= count; ++i) {
    const std::string code = std::to_string(i);
    out << ' ' << Padded(code, 13, false) << Padded("Goods number " + code, 60, false)
        << Padded("12.50", 10, true) << "1 " << Padded("46" + code, 13, false)
        << Padded("100.000", 10, true) << Padded("", 11, false);
  }
}

void BM_LookUpLastRecord(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  testing::ScratchDir scratch;
  const std::string& folder = scratch.path();
  WriteGoodsFile(folder, count);
  GoodsFile goods(&SystemFileSystem(), nullptr, folder);
  goods.Exchange();
  if (!goods.IsOpen()) {
    state.SkipWithError("goods file not taken");
    return;
  }

  const std::string last = std::to_string(count);
  // The reference: the scan, over about 0.2 s (the file is cached).
  double scanned = 0;
  int scans = 0;
  for (auto began = std::chrono::steady_clock::now(); scanned < 0.2; ++scans) {
    GoodsItem item;
    goods.FindByScan(last, kLookupByCode, &item);
    const auto now = std::chrono::steady_clock::now();
    scanned += std::chrono::duration<double>(now - began).count();
    began = now;
    if (item.record_number != count) state.SkipWithError("last record not found by the scan");
  }
  const double per_scan = scanned / scans;

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    GoodsItem item;
    goods.Find(last, kLookupByCode, &item);
    if (item.record_number != count) state.SkipWithError("last record not found");
  }
  const double per_lookup =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  state.counters["lookup_us"] = per_lookup * 1e6;
  state.counters["scan_us"] = per_scan * 1e6;
  state.counters["ratio"] = per_scan / per_lookup;
}
BENCHMARK(BM_LookUpLastRecord)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tillgate

BENCHMARK_MAIN();
