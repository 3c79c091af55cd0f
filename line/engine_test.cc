#include "line/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>

#include "config/event_collector.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "line/register_peer.h"
#include "line/store_steps.h"
#include "serial/fake_serial_device.h"
#include "store/grid_model.h"

namespace tillgate {
namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

using Events = EventCollector;

// Records the store steps; any of them may be told to throw or to run code.
struct Store final : StoreSteps {
  Strings calls;
  bool throw_in_report = false;
  std::function<void()> on_fill;
  void FillGoodsView() override {
    calls.push_back("fill");
    if (on_fill) on_fill();
  }
  void ExchangeReport() override {
    calls.push_back("report");
    if (throw_in_report) throw std::runtime_error("otchet.dbf is locked");
  }
  void ExchangeGoods() override { calls.push_back("goods"); }
};

StartBoxes Boxes(std::initializer_list<int> ports) {
  StartBoxes boxes{};
  for (int p : ports) boxes[static_cast<size_t>(p)] = true;
  return boxes;
}

// One engine with up to sixteen lines; port names as the tables give them.
struct Station {
  Station() {
    for (int i = 0; i < kPortCount; ++i)
      std::snprintf(runtime[static_cast<size_t>(i)].port_name, 7, "COM%d", i + 1);
  }
  TKkmEkr* AddLine(int port, const std::string& path,
                   std::unique_ptr<SerialDevice> device = nullptr) {
    owned.push_back(std::make_unique<TKkmEkr>(port, "COM" + std::to_string(port + 1), path,
                                              std::move(device), &events));
    owned.back()->SetDelayEvent(&delay);
    owned.back()->SetTables(&runtime, nullptr);
    parts.lines[static_cast<size_t>(port)] = owned.back().get();
    Connect(port);
    return owned.back().get();
  }
  TKkmEkr* AddFakeLine(int port, FakeSerialDevice** fake) {
    auto device = std::make_unique<FakeSerialDevice>();
    *fake = device.get();
    return AddLine(port, "/dev/fake" + std::to_string(port), std::move(device));
  }
  void Connect(int port) {
    parts.connect[static_cast<size_t>(port)] = 1;
    runtime[static_cast<size_t>(port)].state = kLineConnected;
  }
  Engine& Make() {
    parts.runtime = &runtime;
    parts.store = &store;
    parts.delay = &delay;
    parts.diagnostics = &diagnostics;
    parts.events = &events;
    engine = std::make_unique<Engine>(parts);
    return *engine;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) engine->Timer1Timer();
  }

  Events events;
  Store store;
  TEvent delay{kDelayEventName, true};
  GridModel diagnostics{5, 16};
  LineRuntimes runtime{};
  EngineParts parts;
  std::vector<std::unique_ptr<TKkmEkr>> owned;
  std::unique_ptr<Engine> engine;
};

Strings Sweep(const char* kind, std::initializer_list<int> order) {
  Strings out;
  for (int nn : order) out.push_back(std::string(kind) + " " + std::to_string(nn));
  return out;
}

TEST(EngineOnPty, RotationFollowsWhoAnsweredTheFirstSweep) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({1, 2, 5});
  Station s;
  TKkmEkr* line = s.AddLine(4, peer.DevicePath());
  ASSERT_TRUE(line->IsOpen()) << line->LastResult().message;
  Engine& engine = s.Make();
  StartResult started = engine.StartLines(Boxes({4}));
  EXPECT_TRUE(started.started.test(4));
  EXPECT_EQ(s.runtime[4].state, kLineRunning);

  s.Ticks(10);
  EXPECT_EQ(peer.Served(), Sweep("start", {2, 3, 4, 5, 6, 7, 8, 9, 10, 1}));
  peer.ClearServed();
  s.Ticks(6);
  EXPECT_EQ(peer.Served(), Sweep("poll", {2, 5, 1, 2, 5, 1}));

  // Register 3 comes up late: it stays unpolled until the next Start, and a
  // register that answered once is polled on although it went silent.
  peer.SetAnswering({3});
  peer.ClearServed();
  s.Ticks(3);
  EXPECT_EQ(peer.Served(), Sweep("poll", {2, 5, 1}));
  EXPECT_TRUE(line->Slot(0).present && line->Slot(1).present && line->Slot(4).present);

  // Start again (twice): every slot back to the start command.
  engine.StartLines(Boxes({4}));
  engine.StartLines(Boxes({4}));
  for (int i = 0; i < kSlotCount; ++i) {
    EXPECT_EQ(line->Slot(i).poll_state, kStartPending);
    EXPECT_TRUE(line->Slot(i).present);
  }
  EXPECT_EQ(line->CurrentSlot(), 0);
  peer.ClearServed();
  s.Ticks(11);
  Strings expected = Sweep("start", {2, 3, 4, 5, 6, 7, 8, 9, 10, 1});
  expected.push_back("poll 3");
  EXPECT_EQ(peer.Served(), expected);
}

TEST(EngineOnPty, StartBoxClearedStopsPollingButKeepsThePort) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({2});
  Station s;
  TKkmEkr* line = s.AddLine(0, peer.DevicePath());
  Engine& engine = s.Make();
  engine.StartLines(Boxes({0}));
  s.Ticks(1);
  engine.StartLines(Boxes({}));
  EXPECT_EQ(s.runtime[0].state, kLineConnected);
  peer.ClearServed();
  s.Ticks(3);
  EXPECT_TRUE(peer.Served().empty());
  EXPECT_TRUE(line->IsOpen());
}

TEST(Engine, StartOnlyRunsConnectedPortsWithALine) {
  Station s;
  FakeSerialDevice* fake;
  s.AddFakeLine(0, &fake);
  s.Connect(1);  // connected, no register model: no line object
  s.parts.connect[2] = 0;
  Engine& engine = s.Make();
  StartResult result = engine.StartLines(Boxes({0, 1, 2}));
  EXPECT_EQ(result.started, PortSet(0b001));
  EXPECT_EQ(result.no_line, PortSet(0b010));
  EXPECT_EQ(s.runtime[0].state, kLineRunning);
  EXPECT_EQ(s.runtime[1].state, kLineConnected);
  EXPECT_EQ(s.runtime[2].state, kLineNotConnected);

  // Run state 2 forced on a port without a line object: skipped.
  s.runtime[1].state = kLineRunning;
  s.Ticks(1);
  EXPECT_EQ(s.runtime[1].state, kLineRunning);
  EXPECT_EQ(s.owned[0]->CurrentSlot(), 1);  // port 0 was still served
}

TEST(Engine, TicksRunStoreStepsAndRefreshTheGoodsViewOnRequest) {
  Station s;
  Engine& engine = s.Make();
  EXPECT_TRUE(engine.GoodsRefreshRequested());
  s.Ticks(2);
  EXPECT_EQ(s.store.calls, (Strings{"fill", "report", "goods", "report", "goods"}));
  engine.PostGoodsRefresh();
  s.store.calls.clear();
  s.Ticks(1);
  EXPECT_EQ(s.store.calls, (Strings{"report", "goods"}));  // not taken yet
  engine.RunCommands();
  s.store.calls.clear();
  s.Ticks(1);
  EXPECT_EQ(s.store.calls, (Strings{"fill", "report", "goods"}));

  // A tick entered while one is running does nothing at all.
  engine.PostGoodsRefresh();
  engine.RunCommands();
  s.store.calls.clear();
  s.store.on_fill = [&] {
    EXPECT_FALSE(engine.TimerIdle());
    engine.Timer1Timer();
  };
  s.Ticks(1);
  EXPECT_EQ(s.store.calls, (Strings{"fill", "report", "goods"}));
  EXPECT_TRUE(engine.TimerIdle());
}

TEST(Engine, AFailingStepIsReportedOnceAndPollingGoesOn) {
  Station s;
  FakeSerialDevice* fake;
  TKkmEkr* line = s.AddFakeLine(3, &fake);
  Engine& engine = s.Make();
  engine.StartLines(Boxes({3}));
  s.store.throw_in_report = true;
  s.events.Clear();
  s.Ticks(3);
  EXPECT_TRUE(engine.TimerIdle());
  EXPECT_EQ(line->CurrentSlot(), 3);  // three steps despite the failures
  EXPECT_EQ(s.store.calls.back(), "goods");
  Strings failures;
  for (const std::string& e : s.events.Lines())
    if (e.find("failed") != std::string::npos) failures.push_back(e);
  EXPECT_EQ(failures, (Strings{"report exchange failed: otchet.dbf is locked"}));
  // Recovered for a tick, then failing again: that is reported anew.
  s.store.throw_in_report = false;
  s.Ticks(1);
  s.store.throw_in_report = true;
  s.Ticks(2);
  failures.clear();
  for (const std::string& e : s.events.Lines())
    if (e.find("failed") != std::string::npos) failures.push_back(e);
  EXPECT_EQ(failures, (Strings{"report exchange failed: otchet.dbf is locked",
                               "report exchange failed: otchet.dbf is locked"}));
}

TEST(Engine, APortThatFailedToOpenCostsNothingAfterTheFirstSweep) {
  Station s;
  TKkmEkr* line = s.AddLine(6, "/dev/tillgate-no-such-port");
  EXPECT_FALSE(line->IsOpen());
  Strings events = s.events.Lines();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].rfind("COM7 (/dev/tillgate-no-such-port): port failed to open: ", 0), 0u);
  Engine& engine = s.Make();
  engine.StartLines(Boxes({6}));
  auto start = Clock::now();
  s.Ticks(10);
  for (int i = 0; i < kSlotCount; ++i) EXPECT_FALSE(line->Slot(i).present);
  s.Ticks(1000);
  // Reads on a closed port return at once: no time-outs are waited.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(Engine, ThreadTakesCommandsAndStopEndsWaitsAtOnce) {
  Station s;
  FakeSerialDevice* fake;
  s.AddFakeLine(0, &fake);
  Engine& engine = s.Make();
  s.diagnostics.SetCell(0, 0, "heading");
  s.diagnostics.SetCell(4, 14, "COM1");
  s.diagnostics.SetCell(0, 15, "overflow row");
  std::atomic<bool> arm_long_wait{false};
  std::atomic<bool> long_wait_begun{false};
  s.store.on_fill = [&] {
    if (!arm_long_wait) return;
    long_wait_begun = true;
    s.delay.WaitFor(60000);  // a long delay in progress when Stop comes
  };
  ASSERT_TRUE(engine.Launch());
  EXPECT_FALSE(engine.Launch());
  std::promise<StartResult> done;
  engine.PostStart(Boxes({0}), true, [&](const StartResult& r) { done.set_value(r); });
  auto future = done.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(future.get().started.test(0));
  while (engine.TickCount() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  arm_long_wait = true;
  engine.PostGoodsRefresh();
  while (!long_wait_begun) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  auto stop_at = Clock::now();
  engine.Stop();
  EXPECT_LT(Clock::now() - stop_at, std::chrono::seconds(5));
  EXPECT_FALSE(engine.Running());
  EXPECT_TRUE(engine.TimerIdle());
  EXPECT_EQ(s.diagnostics.Cell(0, 0), "heading");
  EXPECT_EQ(s.diagnostics.Cell(4, 14), "");
  EXPECT_EQ(s.diagnostics.Cell(0, 15), "");  // the view shows row 15 too
  Strings events = s.events.Lines();
  EXPECT_NE(std::find(events.begin(), events.end(), "start: polling COM1"), events.end());
}

}  // namespace
}  // namespace tillgate
