// What the goods file's key index does for a goods message, measured in one
// run on goods files of 1,000, 100,000 and 1,000,000 records of 82 bytes:
//
// 1. The server's time per goods message (a return by barcode of one of the
//    last 100 records, stock written back; receive step, decoding, look-up,
//    answer written to a fake device), without the journal and with it (an
//    append and an fdatasync per message), and the ratios between the sizes.
// 2. The index of the 1,000,000-record file built alone, and a look-up by
//    the scan the index replaced.
// 3. A new 1,000,000-record goods file taken in while goods messages are
//    served (one every millisecond): how long the take-in takes and how long
//    the messages served meanwhile take, next to those served before.
// 4. The memory no file backs (RssAnon) with the 1,000,000 goods in service
//    and the goods view filled, and at its highest during the take-in.
//
//   goods_index_bench [MESSAGES [FOLDER]]
//
// FOLDER (default: a new folder under /var/tmp, removed at the end) holds
// the goods, report and state folders; put it on the disk the server's
// folders will be on.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/register_frames.h"
#include "line/decoding_rig.h"
#include "platform/platform.h"
#include "platform/posix/process_usage.h"
#include "store/goods_index.h"
#include "store/tdb_probe.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSizes[] = {1000, 100000, 1000000};
constexpr int kNearTheEnd = 100;  // messages go to the last this many records

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
double Mb(long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

double Quantile(std::vector<double> v, double share) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[static_cast<size_t>(share * static_cast<double>(v.size() - 1))];
}

std::string Barcode(int record) {
  char text[16];
  std::snprintf(text, sizeof text, "46%011d", record);
  return text;
}

// tovars.dbf of `count` records (CODE C 13, NAME C 34, PRICE N 10.2, DIVNUM
// C 1, SH_CODE C 13, RES N 10.3: 82 bytes), written as it goes.
void WriteGoods(const std::string& path, int count, const char* price) {
  struct Field {
    const char* name;
    char type;
    int length, decimals;
  };
  const Field fields[] = {{"CODE", 'C', 13, 0},  {"NAME", 'C', 34, 0},    {"PRICE", 'N', 10, 2},
                          {"DIVNUM", 'C', 1, 0}, {"SH_CODE", 'C', 13, 0}, {"RES", 'N', 10, 3}};
  const int n = static_cast<int>(std::size(fields));
  const int header_length = 32 + 32 * n + 1;
  std::string header(static_cast<size_t>(header_length), '\0');
  header[0] = 3;
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>(count >> (8 * i) & 0xFF);
  header[8] = static_cast<char>(header_length & 0xFF);
  header[9] = static_cast<char>(header_length >> 8);
  header[10] = 82;
  for (int i = 0; i < n; ++i) {
    char* d = &header[static_cast<size_t>(32 + 32 * i)];
    std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
    d[11] = fields[i].type;
    d[16] = static_cast<char>(fields[i].length);
    d[17] = static_cast<char>(fields[i].decimals);
  }
  header.back() = 0x0D;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << header;
  char record[83];
  for (int i = 1; i <= count; ++i) {
    std::snprintf(record, sizeof record, " %-13d%-34s%10s1%-13s%10s", i,
                  ("Goods number " + std::to_string(i)).c_str(), price, Barcode(i).c_str(),
                  "1000.000");
    out.write(record, 82);
  }
}

struct MessageTimes {
  std::vector<double> us;
  bool answered = true;
};

// Returns by barcode of the last records, one register, each message new.
MessageTimes ServeMessages(DecodingRig& rig, int records, int messages) {
  MessageTimes t;
  uint8_t sequence = 1;
  for (int i = 0; i < messages; ++i) {
    std::vector<uint8_t> frame =
        bench::ByBarcode(Barcode(records - i % std::min(records, kNearTheEnd)), 'z');
    frame[3] = sequence;
    sequence = sequence == 1 ? 2 : 1;
    const size_t before = rig.fake->Written().size();
    rig.fake->QueueRead(frame);
    const auto began = Clock::now();
    rig.line->ReadAnswer(1);
    t.us.push_back(Us(Clock::now() - began));
    if (rig.fake->Written().size() - before < 30) t.answered = false;
    TPEREBOR& pool = TdbProbe(*rig.store).Pool();
    while (pool.PendingCount() > 0) pool.Release(pool.Head());
  }
  return t;
}

// A goods message straight to the store.
GoodsRequest Request(int record, uint8_t sequence) {
  GoodsRequest r;
  r.line_index = 0;
  r.network_number = 1;
  r.sequence = sequence;
  r.operation_code = kOpReturn;
  r.lookup_kind = kLookupByBarcode;
  std::snprintf(r.goods_code, sizeof r.goods_code, "%s", Barcode(record).c_str());
  r.quantity = 1;
  return r;
}

int Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  return 1;
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  using namespace tillgate;
  const int messages = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  std::string root;
  bool own_root = false;
  if (argc > 2) {
    root = argv[2];
  } else {
    root = "/var/tmp/tillgate-index-bench-" + std::to_string(std::random_device()());
    own_root = true;
  }
  const long long start_memory = testing::AnonymousMemory();
  std::printf("memory not backed by files at the start: %.1f MB\n\n", Mb(start_memory));

  // 1. Time per goods message.
  std::printf(
      "server time per goods message (%d returns by barcode of the last %d records, "
      "stock written back):\n",
      messages, kNearTheEnd);
  std::printf("%10s %9s | %-21s | %-21s | %s\n", "goods", "file", "without journal", "with journal",
              "journal's share");
  std::printf("%10s %9s | %10s %10s | %10s %10s |\n", "", "", "median", "90th", "median", "90th");
  double own_median[3] = {};
  long long memory_1m = 0;
  for (int s = 0; s < 3; ++s) {
    const int records = kSizes[s];
    const std::string folder = root + "/" + std::to_string(records);
    const std::string goods = folder + "/goods", reports = folder + "/reports",
                      state = folder + "/state";
    for (const std::string& f : {goods, reports, state}) std::filesystem::create_directories(f);
    WriteGoods(goods + "/tovars.dbf", records, "12.50");
    MessageTimes plain, journaled;
    for (const bool journal : {false, true}) {
      DecodingRig rig;
      RigLineSettings line;
      line.track_stock = true;
      line.state_folder = journal ? state : std::string();
      rig.Build(goods, reports, SystemFileSystem(), nullptr, 0, line);
      rig.views.WriteHeadings();
      rig.store->FillGoodsView();
      (journal ? journaled : plain) = ServeMessages(rig, records, messages);
      if (records == 1000000 && !journal) memory_1m = testing::AnonymousMemory();
      rig.line.reset();
      rig.store.reset();
    }
    if (!plain.answered || !journaled.answered) return Fail("a goods message was not answered");
    own_median[s] = Quantile(plain.us, 0.5);
    const double journal_median = Quantile(journaled.us, 0.5);
    std::printf("%10d %7.1fMB | %7.1f us %7.1f us | %7.1f us %7.1f us | %5.1f %%\n", records,
                Mb(static_cast<long long>(std::filesystem::file_size(goods + "/tovars.dbf"))),
                own_median[s], Quantile(plain.us, 0.9), journal_median, Quantile(journaled.us, 0.9),
                100.0 * (journal_median - own_median[s]) / journal_median);
  }
  std::printf(
      "ratio of the medians without journal: 100,000 / 1,000 = %.2f, 1,000,000 / 1,000 "
      "= %.2f\n\n",
      own_median[1] / own_median[0], own_median[2] / own_median[0]);

  // 2. The index of the largest file alone, and the scan it replaced.
  const std::string big = root + "/1000000/goods";
  {
    std::unique_ptr<File> file;
    if (!SystemFileSystem().Open(big + "/tovars.dbf", OpenMode::kReadOnlyUnlocked, &file).ok())
      return Fail("the goods file cannot be opened");
    TDBFF dbf;
    GoodsLayout layout;
    if (!ReadGoodsLayout(dbf, file.get(), &layout)) return Fail("the goods file is refused");
    std::vector<double> builds;
    size_t bytes = 0;
    for (int i = 0; i < 5; ++i) {
      GoodsIndex index;
      const auto began = Clock::now();
      if (!GoodsIndex::Build(*file, layout, nullptr, &index).ok())
        return Fail("the index cannot be built");
      builds.push_back(Us(Clock::now() - began) / 1000);
      bytes = index.Bytes();
    }
    GoodsFile goods(&SystemFileSystem(), nullptr, big);
    goods.Exchange();
    GoodsItem item;
    auto began = Clock::now();
    goods.FindByScan(Barcode(1000000), kLookupByBarcode, &item);
    const double scan_us = Us(Clock::now() - began);
    began = Clock::now();
    goods.Find(Barcode(1000000), kLookupByBarcode, &item);
    const double index_us = Us(Clock::now() - began);
    std::printf(
        "index of 1,000,000 goods: built in %.0f ms (median of 5, slowest %.0f ms), "
        "%.1f MB of keys\n",
        Quantile(builds, 0.5), Quantile(builds, 1.0), Mb(static_cast<long long>(bytes)));
    std::printf(
        "look-up of the last record: by the index %.1f us, by a scan %.0f us "
        "(scan / index = %.0f)\n\n",
        index_us, scan_us, scan_us / index_us);
  }

  // 3 and 4. A new file taken in while messages are served.
  {
    WriteGoods(root + "/1000000/tovars2.tmp", 1000000, "13.50");
    TDB store(big, root + "/1000000/reports", SystemFileSystem(), nullptr);
    MonitoringViews views;
    views.WriteHeadings();
    store.SetViews(&views.goods, &views.report);
    store.SetTrackStock(true);
    store.SetBackgroundIndexing(true);
    store.FillGoodsView();
    const long long in_service = testing::AnonymousMemory();
    std::atomic<bool> taken_in{false};
    std::atomic<long long> highest{in_service};
    std::vector<double> before, during;
    uint8_t sequence = 1;
    // One message every millisecond: four times what 160 registers at wire
    // speed send.
    auto next = Clock::now();
    auto serve = [&](std::vector<double>& into) {
      next += std::chrono::milliseconds(1);
      std::this_thread::sleep_until(next);
      const int record = 1000000 - static_cast<int>(into.size()) % kNearTheEnd;
      sequence = sequence == 1 ? 2 : 1;
      const auto began = Clock::now();
      const GoodsOutcome outcome = store.ServeGoods(Request(record, sequence));
      into.push_back(Us(Clock::now() - began));
      TPEREBOR& pool = TdbProbe(store).Pool();
      while (pool.PendingCount() > 0) pool.Release(pool.Head());
      return outcome.Served() ? outcome.goods.price : -1.0;
    };
    const auto warm_until = Clock::now() + std::chrono::seconds(1);
    double old_price = 0;
    while (Clock::now() < warm_until) old_price = serve(before);
    std::filesystem::rename(root + "/1000000/tovars2.tmp", big + "/tovars2.dbf");
    std::ofstream(big + "/tovars.exp").close();
    const auto signalled = Clock::now();
    Clock::time_point took_in;
    // The engine's timed check: an exchange step every 100 ms while lines poll.
    // The steps' time on the clock and on the processor: the difference is
    // time the step waited for a core, not for the index.
    double slowest_step = 0, slowest_step_cpu = 0;
    std::thread engine([&] {
      while (std::filesystem::exists(big + "/tovars.exp")) {
        const auto step = Clock::now();
        const double cpu = testing::ThreadCpuSeconds();
        store.ExchangeGoods();
        slowest_step = std::max(slowest_step, Us(Clock::now() - step));
        slowest_step_cpu = std::max(slowest_step_cpu, (testing::ThreadCpuSeconds() - cpu) * 1e6);
        for (int i = 0; i < 20; ++i) {
          highest = std::max<long long>(highest, testing::AnonymousMemory());
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      }
      took_in = Clock::now();
      taken_in = true;
    });
    while (!taken_in) serve(during);
    engine.join();
    const double new_price = serve(during);
    std::printf("a new file of 1,000,000 goods taken in while goods messages were served:\n");
    std::printf(
        "  signal to take-in %.0f ms (index built on its own thread; exchange step "
        "every 100 ms)\n",
        Us(took_in - signalled) / 1000);
    std::printf("  before: %zu messages, median %.1f us, 99.9th %.1f us, slowest %.1f us\n",
                before.size(), Quantile(before, 0.5), Quantile(before, 0.999),
                Quantile(before, 1.0));
    std::printf(
        "  during: %zu messages, median %.1f us, 99.9th %.1f us, slowest %.1f us "
        "(during / before: median %.2f, 99.9th %.2f)\n",
        during.size(), Quantile(during, 0.5), Quantile(during, 0.999), Quantile(during, 1.0),
        Quantile(during, 0.5) / Quantile(before, 0.5),
        Quantile(during, 0.999) / Quantile(before, 0.999));
    std::printf(
        "  slowest exchange step %.2f ms on the clock, %.2f ms on the processor; price served "
        "before %.2f, after %.2f\n\n",
        slowest_step / 1000, slowest_step_cpu / 1000, old_price, new_price);
    std::printf(
        "memory not backed by files with 1,000,000 goods in service: %.1f MB (the goods "
        "view filled; messages through a line: %.1f MB); highest during the take-in "
        "%.1f MB\n",
        Mb(in_service), Mb(memory_1m), Mb(highest));
  }
  if (own_root) std::filesystem::remove_all(root);
  return 0;
}
