// Lines that heal themselves, on pseudo-terminals with simulated registers
// and the real store: a register switched on late rejoins at the next rescan
// and sells, a device that appears late is opened, a line that hangs up is
// told once and comes back; junk on the line is never an answer; STRICT
// refuses what names another register or does not add up; QUICK gives the
// same answers and rows as before; and the trace holds exactly the bytes on
// the wire.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
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
#include "store/store_test_util.h"
#include "tools/regsim/line_simulator.h"
#include "tools/regsim/scenario.h"

namespace tillgate {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using std::chrono::seconds;

const char kBreadBarcode[] = "4600000000028";

// A goods file of milk (101, 12.50) and bread (202, 7.00, by barcode) and
// an empty report folder.
struct Shop {
  Shop() {
    testing::DbfImage goods;
    goods.fields = testing::GoodsFields();
    goods.records = {testing::GoodsRow("101", "MOLOKO", "12.50", "1", "4600000000011", "1000"),
                     testing::GoodsRow("202", "KHLEB", "7.00", "2", kBreadBarcode, "1000")};
    testing::WriteFile(goods_dir.File("tovars.dbf"), goods.Bytes());
  }
  // One line, COM1 on `device`, started; options off.
  Settings SettingsFor(const std::string& device) const {
    Settings settings;
    settings.installed = true;
    settings.store_goods_folder = goods_dir.path();
    settings.store_report_folder = report_dir.path();
    PortConfig& port = settings.ports[0];
    port.connect = port.start = port.model = 1;
    port.device = device;
    port.mask = "25CCCCCWWWWW";
    port.name_lines = "NC";
    port.split_length = 4;
    settings.start_checked[0] = true;
    return settings;
  }
  // "serial operation code quantity" of every report row, in order.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& row : testing::ReadDbfRecords(report_dir.File("otchet.dbf")))
      rows.push_back(row.at("BANK") + " " + row.at("OPERATE") + " " + row.at("CODE") + " " +
                     row.at("QUANTY") + " " + row.at("SUM"));
    return rows;
  }
  std::string Stock() const {
    std::string stock;
    for (const auto& row : testing::ReadDbfRecords(goods_dir.File("tovars.dbf")))
      stock += row.at("CODE") + "=" + row.at("RES") + " ";
    return stock;
  }
  testing::ScratchDir goods_dir, report_dir;
};

// Simulated registers on a pseudo-terminal of their own, on a thread.
class SimLine {
 public:
  explicit SimLine(const std::string& scenario_text, regsim::SimOptions options = {}) {
    std::string error;
    regsim::Scenario scenario;
    EXPECT_TRUE(regsim::ParseScenarioText(scenario_text, &scenario, &error)) << error;
    Status made;
    port_ = CreatePseudoTerminal(&path_, &made);
    EXPECT_NE(port_, nullptr) << made.message();
    if (options.max_time.count() == 0) options.max_time = seconds(60);  // never hang the run
    options_ = options;
    simulator_ = std::make_unique<regsim::LineSimulator>(scenario, options_, log_);
    started_ = Clock::now();
    thread_ = std::thread([this] { status_ = simulator_->Run(*port_, stop_); });
  }
  ~SimLine() { Stop(); }

  const std::string& Path() const { return path_; }
  Clock::time_point Started() const { return started_; }
  bool Finished() const { return simulator_->Finished(); }
  // Waits until the scenario is done (or the simulator gave up); its exit
  // status.
  int Wait() {
    if (thread_.joinable()) thread_.join();
    return status_;
  }
  // Ends the run; then the log and the wire may be read.
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // The far end goes away: the server's side of the line hangs up.
  void HangUp() {
    Stop();
    port_.reset();
  }
  std::string Log() const { return log_.str(); }
  const regsim::LineSimulator& Simulator() const { return *simulator_; }

 private:
  std::string path_;
  std::unique_ptr<SimPort> port_;
  regsim::SimOptions options_;
  std::ostringstream log_;
  std::unique_ptr<regsim::LineSimulator> simulator_;
  std::atomic<bool> stop_{false};
  int status_ = -1;
  Clock::time_point started_;
  std::thread thread_;
};

// The server with its threads running, Start done.
class Server {
 public:
  explicit Server(const Settings& settings, const TraceOptions& trace = {}) {
    StationOptions options(SystemServices());
    options.make_store = ServerStoreFactory();
    options.events = &events;
    options.trace = trace;
    station_ = std::make_unique<Station>(settings, std::move(options));
    station_->GetEngine().Start(station_->StoredStartBoxes(), false);
    station_->GetEngine().Launch();
  }
  ~Server() { Stop(); }
  void Stop() { station_->GetEngine().Stop(); }
  // Waits until `count` events contain `text`.
  bool WaitFor(const std::string& text, int seconds_to_wait, int count = 1) {
    const auto deadline = Clock::now() + seconds(seconds_to_wait);
    while (events.Count(text) < count) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
  }
  EventCollector events;

 private:
  std::unique_ptr<Station> station_;
};

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Heal, ARegisterSwitchedOnLateRejoinsAtTheNextRescanAndSells) {
  constexpr uint32_t kRescan = 1;
  for (const uint32_t rescan : {0u, kRescan}) {
    Shop shop;
    SimLine sim(
        "register 2\nd 2222222 26\n"
        "register 3\noff\nwait 1500ms\non\nd 3333333 26\np 101 1000 expect=goods\n"
        "i 1 date=07.12 time=10:15 expect=o\n");
    Settings settings = shop.SettingsFor(sim.Path());
    settings.rescan_seconds = rescan;
    Server server(settings);
    const auto switched_on = sim.Started() + milliseconds(1500);
    if (rescan == 0) {
      // As always: dropped at Start, never asked again.
      EXPECT_FALSE(server.WaitFor("register 3 answered", 4)) << rescan;
      EXPECT_FALSE(sim.Finished());
      continue;
    }
    ASSERT_TRUE(server.WaitFor("COM1: register 3 answered the start command of a rescan", 15));
    const auto rejoined = Clock::now();
    std::printf("rejoined %.0f ms after it was switched on (RESCAN %u s)\n",
                std::chrono::duration<double, std::milli>(rejoined - switched_on).count(), rescan);
    // RESCAN + 1 s, and room for a loaded machine.
    EXPECT_LT(rejoined - switched_on, seconds(kRescan + 1) + seconds(3));
    EXPECT_EQ(sim.Wait(), 0) << sim.Log();
    server.Stop();
    EXPECT_EQ(shop.Rows(), (std::vector<std::string>{"3333333 1 101 1.000 12.50"}));
    // A register in the rotation is never offered a rescan's start command.
    EXPECT_EQ(Count(sim.Log(), "net=2 got command a"), 1) << sim.Log();
    EXPECT_TRUE(
        server.events.Has("register 1 did not answer the start command; offered it again "
                          "every 1 s"));
    EXPECT_EQ(server.events.Count("register 1 answered"), 0);
  }
}

TEST(Heal, APortOpensWhenItsDeviceAppearsAndAgainAfterItHungUp) {
  Shop shop;
  testing::ScratchDir links;
  const std::string device = links.File("ttyUSB0");
  const std::string where = "COM1 (" + device + "): ";
  const std::string sale =
      "register 2\nd 2222222 26\np 101 expect=goods\ni 1 date=07.12 time=10:15 expect=o\n";
  Settings settings = shop.SettingsFor(device);
  settings.rescan_seconds = 1;
  Server server(settings);
  EXPECT_TRUE(server.events.Has(where + "port failed to open: open: No such file or directory"));
  EXPECT_TRUE(server.events.Has("start: no line polled; no open port: COM1"));
  {
    SimLine sim(sale);
    std::filesystem::create_symlink(sim.Path(), device);
    ASSERT_TRUE(server.WaitFor(where + "port opened again", 5)) << server.events.Lines().back();
    EXPECT_EQ(sim.Wait(), 0) << sim.Log();
    std::filesystem::remove(device);
    sim.HangUp();
    // Found by whichever call comes first: a read ("read: line hung up") or
    // the settings given before a start command ("tcgetattr: ...").
    ASSERT_TRUE(server.WaitFor(where + "port closed: ", 5))
        << ::testing::PrintToString(server.events.Lines());
  }
  std::this_thread::sleep_for(milliseconds(2500));  // rescans find no device
  {
    SimLine sim(sale);
    std::filesystem::create_symlink(sim.Path(), device);
    ASSERT_TRUE(server.WaitFor(where + "port opened again", 5, 2));
    EXPECT_EQ(sim.Wait(), 0) << sim.Log();
    // Stopped before the simulator's end of the line goes, which would hang
    // it up once more.
    server.Stop();
  }
  // Each change told once, however often it was looked at.
  EXPECT_EQ(server.events.Count(where + "port failed to open"), 2);
  EXPECT_EQ(server.events.Count(where + "port closed"), 1);
  CollectedEvent closed;
  ASSERT_TRUE(server.events.Find(where + "port closed", &closed));
  EXPECT_EQ(closed.condition, "COM1 port");
  EXPECT_EQ(closed.severity, Severity::kError);
  EXPECT_EQ(shop.Rows(),
            (std::vector<std::string>{"2222222 1 101 1.000 12.50", "2222222 1 101 1.000 12.50"}));
}

TEST(Heal, StrictRefusesAnswersNamingAnotherRegisterOrNotAddingUp) {
  for (const bool strict : {false, true}) {
    Shop shop;
    const std::string expect = strict ? " expect=none" : " expect=goods";
    SimLine sim("register 3\nd 3333333 26\np 101 1000 from=2" + expect + "\ns " + kBreadBarcode +
                " 1000 sum=bad" + expect + "\np 202 2000 expect=goods\n" +
                "i 1 date=07.12 time=10:15 expect=o\n");
    Settings settings = shop.SettingsFor(sim.Path());
    settings.ports[0].strict = strict;
    Server server(settings);
    EXPECT_EQ(sim.Wait(), 0) << strict << "\n" << sim.Log();
    server.Stop();
    std::vector<std::string> rows = {"3333333 1 101 1.000 12.50",
                                     "3333333 2 " + std::string(kBreadBarcode) + " 1.000 7.00",
                                     "3333333 1 202 2.000 14.00"};
    if (strict) rows.erase(rows.begin(), rows.begin() + 2);
    EXPECT_EQ(shop.Rows(), rows) << strict;
  }
}

// The bytes of one direction of a trace file, in order.
Bytes TraceBytes(const std::string& trace, char direction) {
  Bytes bytes;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string time, dir, word;
    words >> time >> dir;
    if (dir.size() != 1 || dir[0] != direction) continue;
    while (words >> word && word.size() == 2 && isxdigit(word[0]) && isxdigit(word[1]))
      bytes.push_back(static_cast<uint8_t>(std::stoi(word, nullptr, 16)));
  }
  return bytes;
}

TEST(Heal, JunkIsNeverAnAnswerAndTheTraceHoldsTheBytesOnTheWire) {
  Shop shop;
  testing::ScratchDir traces;
  // Right after its identification is answered, register 2 leaves a whole
  // goods message of register 3 on the line: waiting there before register
  // 3 is polled, it must not be taken for register 3's answer.
  regsim::SimOptions options;
  options.keep_wire = true;
  options.forever = true;
  SimLine sim(
      "register 2\nd 2222222 26\njunk 03 30 0D 01 70 65 00 00 00 00 00 00 00 00 00 8A\n"
      "p 202 expect=goods\ni 1 date=07.12 time=10:15 expect=o\n"
      "register 3\nd 3333333 26\n",
      options);
  TraceOptions trace;
  trace.ports.set(0);
  trace.folder = traces.path();
  Server server(shop.SettingsFor(sim.Path()), trace);
  for (int i = 0; i < 3000 && !sim.Finished(); ++i) std::this_thread::sleep_for(milliseconds(10));
  ASSERT_TRUE(sim.Finished());
  server.Stop();
  std::this_thread::sleep_for(milliseconds(300));  // the simulator reads the last bytes
  sim.Stop();
  EXPECT_EQ(shop.Rows(), (std::vector<std::string>{"2222222 1 202 1.000 7.00"}));
  EXPECT_FALSE(server.events.Has("COM1 register 3: sale"));

  const std::string text = testing::ReadFile(traces.File("COM1.trace"));
  EXPECT_EQ(TraceBytes(text, '>'), sim.Simulator().WireIn());
  EXPECT_EQ(TraceBytes(text, '<'), sim.Simulator().WireOut());
  EXPECT_NE(text.find(" < 03 30 0D 01 70 65 00 00 00 00 00 00 00 00 00 8A discarded: waiting "
                      "before the "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" > 02 30 03 00 61 9F start command to register 2\n"), std::string::npos);
}

TEST(Heal, QuickGivesTheSameAnswersRowsAndStockOnlySooner) {
  const std::string scenario =
      std::string("register 2\nd 2222222 26\np 101 1500 expect=goods\ns ") + kBreadBarcode +
      " 2000 expect=goods\nrepeat\nq 101 500 expect=goods\nl 101 1000 expect=goods\n"
      "p 999 expect=u\ni 1 date=07.12 time=10:15 expect=o\n"
      "register 3\nd 3333333 26\ns " +
      kBreadBarcode + " expect=goods\nf\np 101 250 expect=goods\ni 7 date=07.12 time=10:16\n";
  std::string logs[2], stock[2];
  std::vector<std::string> rows[2];
  double took[2];
  for (const bool quick : {false, true}) {
    Shop shop;
    SimLine sim(scenario);
    Settings settings = shop.SettingsFor(sim.Path());
    settings.track_stock = true;
    settings.ports[0].quick = quick;
    Server server(settings);
    EXPECT_EQ(sim.Wait(), 0) << quick << "\n" << sim.Log();
    took[quick] = std::chrono::duration<double>(Clock::now() - sim.Started()).count();
    server.Stop();
    logs[quick] = sim.Log();
    rows[quick] = shop.Rows();
    stock[quick] = shop.Stock();
  }
  std::printf("the scenario took %.1f s without QUICK, %.1f s with it\n", took[0], took[1]);
  // Every message, every answer and its bytes as the registers decoded them,
  // in the same order.
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_EQ(rows[1], rows[0]);
  EXPECT_EQ(rows[0].size(), 6u);
  EXPECT_EQ(stock[1], stock[0]);
}

}  // namespace
}  // namespace tillgate
