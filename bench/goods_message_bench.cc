// The server's own time per goods message on a goods file of 100,000
// records: receive step, decoding, look-up in tovars.dbf, display text and
// the goods answer written to the line (a fake device, so no wire time), with
// the waits after a look-up by code left out. Printed next to the time the
// same exchange takes on the wire at 9600 baud (10 bits per byte).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/register_frames.h"
#include "line/decoding_rig.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"
#include "store/tdb_probe.h"
#include "tools/mkgoods/goods_file.h"

namespace tillgate {
namespace {

constexpr int kRecords = 100000;
constexpr double kByteMs = 10.0 / 9600.0 * 1000.0;  // 1.04 ms per byte

struct Shop {
  Shop() {
    mkgoods::GoodsRows goods = mkgoods::SyntheticGoods(kRecords);
    last_barcode = goods.rows.back().sh_code;
    std::string bytes, error;
    if (!mkgoods::MakeGoodsFile(goods, mkgoods::GoodsFileOptions{}, mkgoods::DbfDate{2026, 1, 1},
                                &bytes, &error)) {
      std::fprintf(stderr, "goods file: %s\n", error.c_str());
      std::abort();
    }
    std::ofstream(folder + "/tovars.dbf", std::ios::binary) << bytes;
    rig.Build(folder, folder, SystemFileSystem(), nullptr, 0, RigLineSettings{});
  }
  ~Shop() {
    rig.line.reset();
    rig.store.reset();
  }

  testing::ScratchDir scratch;
  std::string folder = scratch.path();
  std::string last_barcode;
  DecodingRig rig;
};

Shop& TheShop() {
  static Shop shop;
  return shop;
}

using bench::ByBarcode;
using bench::ByCode;

// One message per iteration; the committed operation is released again so
// the pool never fills. Two sequence bytes alternate: no message repeats.
void RunMessages(benchmark::State& state, std::vector<uint8_t> frame, bool track_stock) {
  Shop& shop = TheShop();
  shop.rig.store->SetTrackStock(track_stock);
  uint8_t sequence = 1;
  size_t answered = 0;
  for (auto _ : state) {
    frame[3] = sequence;
    sequence = sequence == 1 ? 2 : 1;
    const size_t before = shop.rig.fake->Written().size();
    shop.rig.fake->QueueRead(frame);
    shop.rig.line->ReadAnswer(1);
    answered = shop.rig.fake->Written().size() - before;
    TPEREBOR& pool = TdbProbe(*shop.rig.store).Pool();
    if (pool.PendingCount() > 0) pool.Release(pool.Head());
  }
  if (answered < 30) state.SkipWithError("the message was not answered with goods");
  // Poll byte, the register's message and the answer, on the wire.
  const double wire_ms = (1 + frame.size() + answered) * kByteMs;
  state.counters["wire_ms"] = wire_ms;
  state.counters["answer_bytes"] = static_cast<double>(answered);
}

void BM_ByCodeFirstRecord(benchmark::State& state) { RunMessages(state, ByCode(1), false); }
void BM_ByCodeRecord65535(benchmark::State& state) { RunMessages(state, ByCode(65535), false); }
void BM_ByBarcodeLastRecord(benchmark::State& state) {
  RunMessages(state, ByBarcode(TheShop().last_barcode), false);
}
// A return, so that the stock written back to RES never runs out.
void BM_ReturnByBarcodeLastRecordStock(benchmark::State& state) {
  RunMessages(state, ByBarcode(TheShop().last_barcode, 'z'), true);
}

BENCHMARK(BM_ByCodeFirstRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ByCodeRecord65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ByBarcodeLastRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReturnByBarcodeLastRecordStock)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tillgate

BENCHMARK_MAIN();
