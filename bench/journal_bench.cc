// What the journal of open documents costs: the store's time per goods
// message and per document close with the journal (an append and an
// fdatasync before the register's answer) and without it, measured in one
// run on the same goods file, and the difference next to the time a goods
// message takes on the wire at 9600 baud.
//
//   journal_bench [MESSAGES [FOLDER]]
//
// FOLDER (default: a new folder under /var/tmp) holds the goods, report and
// state folders; put it on the disk the server's state folder will be on.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/tdb.h"

namespace tillgate {
namespace {

// Poll byte, a 16-byte goods message by code and a 47-byte two-line answer.
constexpr double kWireMs = (1 + 16 + 47) * 10.0 / 9600.0 * 1000.0;
constexpr int kSalesPerDocument = 4;

using Clock = std::chrono::steady_clock;

// A goods file of three goods with plenty of stock (RES N 12.3).
std::string GoodsFileBytes() {
  const char* fields[][3] = {{"CODE", "C", "\x0D"},
                             {"NAME", "C", "\x1E"},
                             {"PRICE", "N", "\x0A"},
                             {"DIVNUM", "C", "\x01"},
                             {"RES", "N", "\x0C"}};
  const int n = 5;
  std::string bytes(32 + 32 * n + 1, '\0');
  const int record = 1 + 13 + 30 + 10 + 1 + 12;
  bytes[0] = 3;
  bytes[4] = 3;
  bytes[8] = static_cast<char>(bytes.size());
  bytes[10] = static_cast<char>(record);
  for (int i = 0; i < n; ++i) {
    char* d = bytes.data() + 32 + 32 * i;
    std::memcpy(d, fields[i][0], std::strlen(fields[i][0]));
    d[11] = fields[i][1][0];
    d[16] = fields[i][2][0];
    d[17] = i == 2 ? 2 : i == 4 ? 3 : 0;
  }
  bytes.back() = 0x0D;
  for (const char* code : {"100", "200", "300"}) {
    char row[128];
    std::snprintf(row, sizeof row, " %-13s%-30s%10s%-1s%12s", code, "Goods", "12.50", "1",
                  "9999999.000");
    bytes += row;
  }
  return bytes;
}

struct Timings {
  std::vector<double> message_us, close_us;
};

// The value below which `share` of the samples lie.
double Quantile(std::vector<double> v, double share) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[static_cast<size_t>(share * static_cast<double>(v.size() - 1))];
}

double Median(const std::vector<double>& v) { return Quantile(v, 0.5); }

// Sells and closes documents on one register; every message is new.
Timings Run(const std::string& root, bool journal, int messages) {
  const std::string goods = root + "/goods", reports = root + "/reports", state = root + "/state";
  for (const std::string& f : {goods, reports, state}) {
    std::filesystem::remove_all(f);
    std::filesystem::create_directories(f);
  }
  std::ofstream(goods + "/tovars.dbf", std::ios::binary) << GoodsFileBytes();
  TDB store(goods, reports, SystemFileSystem(), nullptr, journal ? state : std::string());
  store.SetTrackStock(true);
  store.ShowIdentification({"COM1", "", "0000001", 1, 0, 0x26});
  Timings t;
  uint8_t sequence = 0;
  DocumentClose document;
  document.day = 0x15;
  document.month = 0x03;
  for (int i = 0; i < messages; ++i) {
    GoodsRequest request;
    request.line_index = 0;
    request.network_number = 1;
    request.sequence = sequence = static_cast<uint8_t>(sequence == 0xFE ? 1 : sequence + 1);
    std::snprintf(request.goods_code, sizeof request.goods_code, "%d", 100 * (1 + i % 3));
    request.quantity = 1;
    const auto began = Clock::now();
    const GoodsOutcome outcome = store.ServeGoods(request);
    t.message_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - began).count());
    if (!outcome.Served()) {
      std::fprintf(stderr, "a goods message was refused\n");
      std::exit(1);
    }
    if ((i + 1) % kSalesPerDocument == 0) {
      document.document_number = static_cast<uint32_t>(i);
      const auto closing = Clock::now();
      store.CloseDocument(0, 1, document);
      t.close_us.push_back(
          std::chrono::duration<double, std::micro>(Clock::now() - closing).count());
    }
  }
  return t;
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) {
  using namespace tillgate;
  const int messages = argc > 1 ? std::max(kSalesPerDocument, std::atoi(argv[1])) : 2000;
  std::string root;
  if (argc > 2) {
    root = argv[2];
  } else {
    // On the disk, not in memory: the journal's syncs are what is measured.
    root = "/var/tmp/tillgate-journal-bench-" + std::to_string(std::random_device()());
    std::error_code error;
    if (!std::filesystem::create_directories(root, error)) {
      std::fprintf(stderr, "%s: %s\n", root.c_str(), error.message().c_str());
      return 1;
    }
  }
  // Alternating, so that neither kind has the warmer caches throughout.
  Timings plain, journaled;
  for (int round = 0; round < 2; ++round) {
    const Timings p = Run(root, false, messages / 2);
    const Timings j = Run(root, true, messages / 2);
    plain.message_us.insert(plain.message_us.end(), p.message_us.begin(), p.message_us.end());
    plain.close_us.insert(plain.close_us.end(), p.close_us.begin(), p.close_us.end());
    journaled.message_us.insert(journaled.message_us.end(), j.message_us.begin(),
                                j.message_us.end());
    journaled.close_us.insert(journaled.close_us.end(), j.close_us.begin(), j.close_us.end());
  }
  if (argc <= 2) std::filesystem::remove_all(root);

  const double m0 = Median(plain.message_us), m1 = Median(journaled.message_us);
  const double c0 = Median(plain.close_us), c1 = Median(journaled.close_us);
  std::printf("goods message, stock written back (median of %zu):\n", journaled.message_us.size());
  std::printf("  without journal %9.1f us\n  with journal    %9.1f us\n", m0, m1);
  std::printf("document close of %d rows (median of %zu):\n", kSalesPerDocument,
              journaled.close_us.size());
  std::printf("  without journal %9.1f us\n  with journal    %9.1f us\n", c0, c1);
  const double p99 = Quantile(journaled.message_us, 0.99) - Quantile(plain.message_us, 0.99);
  std::printf(
      "journal cost per goods message: %.1f us = %.2f %% of the %.1f ms on the wire "
      "(99th percentile %.1f us = %.2f %%)\n",
      m1 - m0, (m1 - m0) / (kWireMs * 1000) * 100, kWireMs, p99, p99 / (kWireMs * 1000) * 100);
  return 0;
}
