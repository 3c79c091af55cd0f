// Sixteen lines of three simulated registers each, on pseudo-terminals, all
// selling at once against the real store: every answer right, every report
// row once and in its register's order, and the stock exactly what the
// operations moved.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/event_collector.h"
#include "engine/station.h"
#include "engine/store_factory.h"
#include "platform/platform.h"
#include "platform/sim_port.h"
#include "store/kopecks.h"
#include "store/store_test_util.h"
#include "tools/regsim/line_simulator.h"
#include "tools/regsim/scenario.h"

namespace tillgate {
namespace {

constexpr int kLines = 16;
constexpr int kRegisters[] = {1, 2, 3};
constexpr int kDocuments = 2;
constexpr double kStock = 1000000;
constexpr double kMilkPrice = 12.50;
constexpr double kBreadPrice = 7.00;
const char kBreadBarcode[] = "4600000000028";

// Quantities in thousandths, different for every register so that a row in
// the wrong place shows.
uint32_t MilkSold(int line, int net) { return 2000 + 10 * static_cast<uint32_t>(line) + net; }
uint32_t BreadSold(int line, int net) { return 1000 + 10 * static_cast<uint32_t>(line) + net; }
constexpr uint32_t kMilkReturned = 500;
constexpr uint32_t kMilkVoided = 1000;

std::string Serial(int line, int net) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02d000", line + 1, net);
  return text;
}

// Per document: a sale by code, a sale by barcode sent twice (the second
// copy replaces the first), a return, a void the sale covers, goods that do
// not exist, and the close.
std::string Script(int line, int net) {
  std::string s = "register " + std::to_string(net) + "\n";
  s += "d " + Serial(line, net) + " 26\n";
  for (int d = 1; d <= kDocuments; ++d) {
    s += "p 101 " + std::to_string(MilkSold(line, net)) + " expect=goods\n";
    s += "s " + std::string(kBreadBarcode) + " " + std::to_string(BreadSold(line, net)) +
         " expect=goods\n";
    s += "repeat\n";
    s += "q 101 " + std::to_string(kMilkReturned) + " expect=goods\n";
    s += "l 101 " + std::to_string(kMilkVoided) + " expect=goods\n";
    s += "p 999 expect=u\n";
    s += "i " + std::to_string(d) + " date=07.12 time=10:15 expect=o\n";
  }
  return s;
}

uint32_t Kopecks(double price, uint32_t thousandths) {
  return RoundKopecks(price * (thousandths / 1000.0) * 100);
}

// The amounts one register must have been charged, in order.
std::vector<std::string> ExpectedAmounts(int line, int net) {
  std::vector<std::string> out;
  for (int d = 1; d <= kDocuments; ++d) {
    const uint32_t bread = Kopecks(kBreadPrice, BreadSold(line, net));
    for (uint32_t k : {Kopecks(kMilkPrice, MilkSold(line, net)), bread, bread,
                       Kopecks(kMilkPrice, kMilkReturned), Kopecks(kMilkPrice, kMilkVoided)})
      out.push_back(std::to_string(k));
  }
  return out;
}

// The amounts of the goods answers register `net` got, from the log.
std::vector<std::string> ChargedAmounts(const std::string& log, int net) {
  std::vector<std::string> out;
  std::istringstream lines(log);
  std::string line;
  const std::string prefix = "net=" + std::to_string(net) + " got goods ";
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    const size_t at = line.find(" amount=");
    out.push_back(line.substr(at + 8, line.find(' ', at + 8) - at - 8));
  }
  return out;
}

std::string Qty(uint32_t thousandths) {
  char text[16];
  std::snprintf(text, sizeof text, "%.3f", thousandths / 1000.0);
  return text;
}

struct SimulatedLine {
  std::unique_ptr<SimPort> port;
  std::string path;
  std::ostringstream log;
  std::unique_ptr<regsim::LineSimulator> simulator;
  int status = -1;
  std::thread thread;
};

TEST(Stress, SixteenLinesOfThreeRegistersSellAtOnce) {
  testing::ScratchDir goods_dir, report_dir;
  testing::DbfImage goods;
  goods.fields = {{"CODE", 'C', 13},  {"NAME", 'C', 30},    {"PRICE", 'N', 10, 2},
                  {"DIVNUM", 'C', 2}, {"SH_CODE", 'C', 13}, {"RES", 'N', 12, 3}};
  goods.records = {{"101", "MOLOKO", "12.50", "1", "4600000000011", "1000000.000"},
                   {"202", "KHLEB", "7.00", "2", kBreadBarcode, "1000000.000"}};
  testing::WriteFile(goods_dir.File("tovars.dbf"), goods.Bytes());

  regsim::SimOptions options;
  options.max_time = std::chrono::seconds(240);  // never hang the test run
  Settings settings;
  settings.installed = true;
  settings.store_goods_folder = goods_dir.path();
  settings.store_report_folder = report_dir.path();
  settings.track_stock = true;
  std::vector<std::unique_ptr<SimulatedLine>> lines;
  for (int l = 0; l < kLines; ++l) {
    auto sim = std::make_unique<SimulatedLine>();
    Status made;
    sim->port = CreatePseudoTerminal(&sim->path, &made);
    ASSERT_NE(sim->port, nullptr) << made.message();
    std::string error;
    std::string text;
    for (int net : kRegisters) text += Script(l, net);
    regsim::Scenario scenario;
    ASSERT_TRUE(regsim::ParseScenarioText(text, &scenario, &error)) << error;
    sim->simulator = std::make_unique<regsim::LineSimulator>(scenario, options, sim->log);
    PortConfig& port = settings.ports[static_cast<size_t>(l)];
    port.connect = port.start = port.model = 1;
    port.device = sim->path;
    port.mask = "25CCCCCWWWWW";
    port.name_lines = "NC";
    port.split_length = 4;
    settings.start_checked[static_cast<size_t>(l)] = true;
    lines.push_back(std::move(sim));
  }

  EventCollector events;
  StationOptions station_options(SystemServices());
  station_options.make_store = ServerStoreFactory();
  station_options.events = &events;
  Station station(settings, std::move(station_options));
  std::atomic<bool> stop{false};
  for (auto& sim : lines) {
    SimulatedLine* s = sim.get();
    s->thread = std::thread([s, &stop] { s->status = s->simulator->Run(*s->port, stop); });
  }
  Engine& engine = station.GetEngine();
  engine.Start(station.StoredStartBoxes(), false);
  ASSERT_TRUE(engine.Launch());
  for (auto& sim : lines) sim->thread.join();
  engine.Stop();

  // Every register got every answer it expected, at the right amount.
  for (int l = 0; l < kLines; ++l) {
    const SimulatedLine& sim = *lines[static_cast<size_t>(l)];
    const std::string log = sim.log.str();
    EXPECT_EQ(sim.status, 0) << "line " << l + 1 << "\n" << log;
    EXPECT_NE(log.find("malformed=0 unanswered=0 mismatched=0"), std::string::npos) << log;
    for (int net : kRegisters)
      EXPECT_EQ(ChargedAmounts(log, net), ExpectedAmounts(l, net)) << "line " << l + 1;
  }
  EXPECT_FALSE(events.Has("failed"));

  // Every row once, in its register's order.
  const auto rows = testing::ReadDbfRecords(report_dir.File("otchet.dbf"));
  EXPECT_EQ(rows.size(), static_cast<size_t>(kLines * std::size(kRegisters) * kDocuments * 4));
  std::map<std::string, std::vector<std::string>> seen;
  for (const auto& row : rows)
    seen[row.at("BANK")].push_back(row.at("CHECK") + " " + row.at("OPERATE") + " " +
                                   row.at("CODE") + " " + row.at("QUANTY"));
  double milk = kStock, bread = kStock;
  for (int l = 0; l < kLines; ++l) {
    for (int net : kRegisters) {
      std::vector<std::string> expected;
      for (int d = 1; d <= kDocuments; ++d) {
        const std::string check = std::to_string(d);
        expected.push_back(check + " 1 101 " + Qty(MilkSold(l, net)));
        expected.push_back(check + " 2 " + kBreadBarcode + " " + Qty(BreadSold(l, net)));
        expected.push_back(check + " 3 101 " + Qty(kMilkReturned));
        expected.push_back(check + " 4 101 " + Qty(kMilkVoided));
        milk += (-static_cast<double>(MilkSold(l, net)) + kMilkReturned + kMilkVoided) / 1000;
        bread -= BreadSold(l, net) / 1000.0;
      }
      EXPECT_EQ(seen[Serial(l, net)], expected) << Serial(l, net);
    }
  }

  // The stock is what the operations moved, withdrawn copies excluded.
  const auto stock = testing::ReadDbfRecords(goods_dir.File("tovars.dbf"));
  ASSERT_EQ(stock.size(), 2u);
  EXPECT_NEAR(std::stod(stock[0].at("RES")), milk, 0.0005);
  EXPECT_NEAR(std::stod(stock[1].at("RES")), bread, 0.0005);
}

}  // namespace
}  // namespace tillgate
