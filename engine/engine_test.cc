#include "engine/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "config/event_collector.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "line/register_peer.h"
#include "platform/fake_serial_device.h"
#include "platform/folder_watch.h"
#include "platform/platform.h"
#include "store/grid_model.h"
#include "store/recording_store.h"
#include "store/store_test_util.h"
#include "store/tdb.h"

namespace tillgate {
namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

using Events = EventCollector;

StartBoxes Boxes(std::initializer_list<int> ports) {
  StartBoxes boxes{};
  for (int p : ports) boxes[static_cast<size_t>(p)] = true;
  return boxes;
}

// A register's answer to its start command or poll byte: 'x' is no message
// the server knows, so decoding answers "u" and the register stays.
std::vector<uint8_t> Answer(uint8_t network) {
  std::vector<uint8_t> frame(kFrameBufferSize);  // the builder writes a zero behind the frame
  frame.resize(static_cast<size_t>(BuildCommandFrame(frame.data(), network, 'x')));
  return frame;
}

// One engine with up to sixteen lines; port names as the tables give them.
struct Station {
  Station() {
    for (int i = 0; i < kPortCount; ++i)
      std::snprintf(runtime[static_cast<size_t>(i)].port_name, 7, "COM%d", i + 1);
  }
  // On the system's serial device unless given another.
  TKkmEkr* AddLine(int port, const std::string& path,
                   std::unique_ptr<SerialDevice> device = NewSystemSerialDevice()) {
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
  // A line whose registers 1..10 all answer every start command and poll.
  TKkmEkr* AddAnsweringLine(int port, FakeSerialDevice** device = nullptr) {
    FakeSerialDevice* fake = nullptr;
    TKkmEkr* line = AddFakeLine(port, &fake);
    if (device) *device = fake;
    fake->SetReadHook([fake, line](size_t count) {
      if (count == kFirstReadSize)
        fake->QueueRead(Answer(line->Slot(line->CurrentSlot()).network_number));
    });
    return line;
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
  RecordingStore store;
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

// Start commands and poll bytes the peer saw, without the answers to its
// messages.
Strings Polls(RegisterPeer& peer) {
  Strings out;
  for (const std::string& s : peer.Served())
    if (s.rfind("start", 0) == 0 || s.rfind("poll", 0) == 0) out.push_back(s);
  return out;
}

// Waits up to `limit` for `done`; true when it came.
template <typename Condition>
bool Eventually(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(EngineOnPty, RotationFollowsWhoAnsweredTheFirstSweep) {
  RegisterPeer peer;
  ASSERT_TRUE(peer.ok());
  peer.SetAnswering({1, 2, 5});
  Station s;
  TKkmEkr* line = s.AddLine(4, peer.DevicePath());
  ASSERT_TRUE(line->IsOpen()) << line->LastResult().message();
  Engine& engine = s.Make();
  StartResult started = engine.StartLines(Boxes({4}));
  EXPECT_TRUE(started.started.test(4));
  EXPECT_EQ(s.runtime[4].state, kLineRunning);

  s.Ticks(10);
  EXPECT_EQ(Polls(peer), Sweep("start", {2, 3, 4, 5, 6, 7, 8, 9, 10, 1}));
  peer.ClearServed();
  s.Ticks(6);
  EXPECT_EQ(Polls(peer), Sweep("poll", {2, 5, 1, 2, 5, 1}));

  // Register 3 comes up late: it stays unpolled until the next Start, and a
  // register that answered once is polled on although it went silent.
  peer.SetAnswering({3});
  peer.ClearServed();
  s.Ticks(3);
  EXPECT_EQ(Polls(peer), Sweep("poll", {2, 5, 1}));
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
  EXPECT_EQ(Polls(peer), expected);
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
  EXPECT_TRUE(Polls(peer).empty());
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
  EXPECT_EQ(s.store.Calls(), (Strings{"fill", "report", "goods", "report", "goods"}));
  engine.PostGoodsRefresh();
  s.store.ClearCalls();
  s.Ticks(1);
  EXPECT_EQ(s.store.Calls(), (Strings{"report", "goods"}));  // not taken yet
  engine.RunCommands();
  s.store.ClearCalls();
  s.Ticks(1);
  EXPECT_EQ(s.store.Calls(), (Strings{"fill", "report", "goods"}));

  // A tick entered while one is running does nothing at all.
  engine.PostGoodsRefresh();
  engine.RunCommands();
  s.store.ClearCalls();
  s.store.OnFill([&] {
    EXPECT_FALSE(engine.TimerIdle());
    engine.Timer1Timer();
  });
  s.Ticks(1);
  EXPECT_EQ(s.store.Calls(), (Strings{"fill", "report", "goods"}));
  EXPECT_TRUE(engine.TimerIdle());
}

TEST(Engine, AFailingStepIsReportedOncePerStepAndPollingGoesOn) {
  Station s;
  FakeSerialDevice* fake;
  TKkmEkr* line = s.AddFakeLine(3, &fake);
  Engine& engine = s.Make();
  engine.StartLines(Boxes({3}));
  auto failures = [&] {
    Strings out;
    for (const std::string& e : s.events.Lines())
      if (e.find("failed") != std::string::npos) out.push_back(e);
    return out;
  };
  // Two steps failing at every tick: one line each, not two per tick.
  s.store.SetThrowing("report", true);
  s.store.SetThrowing("goods", true);
  s.events.Clear();
  s.Ticks(3);
  EXPECT_TRUE(engine.TimerIdle());
  EXPECT_EQ(line->CurrentSlot(), 3);  // three steps despite the failures
  EXPECT_EQ(failures(), (Strings{"report exchange failed: otchet.dbf is locked",
                                 "goods exchange failed: tovars.dbf is locked"}));
  CollectedEvent first;
  ASSERT_TRUE(s.events.Find("report exchange failed", &first));
  EXPECT_EQ(first.severity, Severity::kError);
  EXPECT_EQ(first.condition, "report exchange");
  // The report step works for a tick, then fails again: that is news; the
  // goods step failed all along and stays reported once.
  s.store.SetThrowing("report", false);
  s.Ticks(1);
  EXPECT_TRUE(s.events.Has("report exchange works again"));
  s.store.SetThrowing("report", true);
  s.Ticks(2);
  EXPECT_EQ(failures(), (Strings{"report exchange failed: otchet.dbf is locked",
                                 "goods exchange failed: tovars.dbf is locked",
                                 "report exchange failed: otchet.dbf is locked"}));
  EXPECT_FALSE(s.events.Has("goods exchange works again"));
}

TEST(Engine, APortThatFailedToOpenCostsNothingAndIsNamedAtStart) {
  Station s;
  TKkmEkr* line = s.AddLine(6, "/dev/tillgate-no-such-port");
  EXPECT_FALSE(line->IsOpen());
  Strings events = s.events.Lines();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].rfind("COM7 (/dev/tillgate-no-such-port): port failed to open: ", 0), 0u);
  Engine& engine = s.Make();
  const StartResult started = engine.Start(Boxes({6}), false);
  EXPECT_TRUE(started.started.test(6));
  EXPECT_TRUE(started.no_port.test(6));
  EXPECT_TRUE(s.events.Has("start: no line polled; no open port: COM7")) << s.events.Lines().back();
  auto start = Clock::now();
  s.Ticks(1000);
  // A closed port talks to no register: no time-outs are waited, and its
  // registers keep their places for when it is open again.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(line->HasWork());
  EXPECT_TRUE(line->HasPresentSlot());
  EXPECT_FALSE(s.events.Has("did not answer"));
}

TEST(EngineThreads, TakeCommandsAndStopEndsWaitsAtOnce) {
  Station s;
  s.AddAnsweringLine(0);
  Engine& engine = s.Make();
  std::atomic<bool> arm_long_wait{false};
  std::atomic<bool> long_wait_begun{false};
  s.store.OnFill([&] {
    if (!arm_long_wait) return;
    long_wait_begun = true;
    s.delay.WaitFor(60000);  // a long delay in progress when Stop comes
  });
  ASSERT_TRUE(engine.Launch());
  EXPECT_FALSE(engine.Launch());
  std::promise<StartResult> done;
  engine.PostStart(Boxes({0}), true, [&](const StartResult& r) { done.set_value(r); });
  auto future = done.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(future.get().started.test(0));
  ASSERT_TRUE(Eventually([&] { return engine.LineSteps(0) >= 3; }));
  arm_long_wait = true;
  engine.PostGoodsRefresh();
  ASSERT_TRUE(Eventually([&] { return long_wait_begun.load(); }));
  auto stop_at = Clock::now();
  engine.Stop();
  EXPECT_LT(Clock::now() - stop_at, std::chrono::seconds(5));
  EXPECT_FALSE(engine.Running());
  EXPECT_TRUE(engine.TimerIdle());
  // The Start asked for the diagnostics view to be cleared: the store does
  // it, under its own lock.
  const Strings calls = s.store.Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "clear diagnostics"), 1);
  Strings events = s.events.Lines();
  EXPECT_NE(std::find(events.begin(), events.end(), "start: polling COM1"), events.end());
}

// A line stuck in a read (as long as its register takes) must not hold up
// the others; with one engine thread stepping every line in turn, it did.
TEST(EngineThreads, ALineBlockedInItsReadDoesNotHoldUpTheOthers) {
  Station s;
  FakeSerialDevice* stuck_fake = nullptr;
  s.AddFakeLine(2, &stuck_fake);
  std::mutex mutex;
  std::condition_variable released_cv;
  bool released = false;
  std::atomic<bool> stuck{false};
  stuck_fake->SetReadHook([&](size_t) {
    stuck = true;
    std::unique_lock<std::mutex> lock(mutex);
    released_cv.wait(lock, [&] { return released; });
  });
  s.AddAnsweringLine(9);
  Engine& engine = s.Make();
  engine.Start(Boxes({2, 9}), false);
  ASSERT_TRUE(engine.Launch());
  ASSERT_TRUE(Eventually([&] { return stuck.load(); }));
  const uint64_t before = engine.LineSteps(9);
  EXPECT_TRUE(Eventually([&] { return engine.LineSteps(9) >= before + 20; }));
  EXPECT_EQ(engine.LineSteps(2), 0u);  // still inside its first step
  {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  released_cv.notify_all();
  EXPECT_TRUE(Eventually([&] { return engine.LineSteps(2) >= 1; }));
  engine.Stop();
}

TEST(EngineThreads, StartReachesEveryLineAndAStoppedLineStaysStill) {
  Station s;
  s.AddAnsweringLine(0);
  s.AddAnsweringLine(15);
  s.AddAnsweringLine(7);  // never started
  Engine& engine = s.Make();
  ASSERT_TRUE(engine.Launch());
  std::promise<StartResult> started;
  engine.PostStart(Boxes({0, 15}), false, [&](const StartResult& r) { started.set_value(r); });
  ASSERT_EQ(started.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(Eventually([&] { return engine.LineSteps(0) >= 12 && engine.LineSteps(15) >= 12; }));
  EXPECT_EQ(engine.LineSteps(7), 0u);

  // Start with only line 0 ticked: line 15 stops between two steps.
  std::promise<void> restarted;
  engine.PostStart(Boxes({0}), false, [&](const StartResult&) { restarted.set_value(); });
  ASSERT_EQ(restarted.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const uint64_t still = engine.LineSteps(15);
  const uint64_t going = engine.LineSteps(0);
  EXPECT_TRUE(Eventually([&] { return engine.LineSteps(0) >= going + 12; }));
  EXPECT_EQ(engine.LineSteps(15), still);
  engine.Stop();
  EXPECT_EQ(s.runtime[15].state, kLineConnected);
  EXPECT_EQ(s.runtime[0].state, kLineRunning);
}

// Start posted again and again while several lines poll: every line is
// restarted on its own thread (a sanitizer build sees any slot or port
// state the engine thread touches while a worker looks at it), each Start
// gives every started register its start command again, and the event
// lines name the same ports in the same words.
TEST(EngineThreads, StartsPostedWhileLinesPollRestartEveryLine) {
  Station s;
  std::array<FakeSerialDevice*, 4> fakes{};
  const std::array<int, 4> polled{0, 1, 2, 3};
  for (size_t i = 0; i < polled.size(); ++i) s.AddAnsweringLine(polled[i], &fakes[i]);
  s.AddLine(5, "/dev/tillgate-no-such-port");
  Engine& engine = s.Make();
  ASSERT_TRUE(engine.Launch());
  const StartBoxes all = Boxes({0, 1, 2, 3, 5});
  const StartBoxes some = Boxes({0, 2, 5});
  constexpr int kStarts = 20;
  std::array<int, 4> starts_of{};
  for (int round = 0; round < kStarts; ++round) {
    const bool everyone = round % 2 == 0;
    const StartBoxes& boxes = everyone ? all : some;
    const Strings before = s.store.Calls();
    const auto clearings = std::count(before.begin(), before.end(), "clear diagnostics");
    std::promise<StartResult> done;
    engine.PostStart(boxes, everyone, [&](const StartResult& r) { done.set_value(r); });
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const StartResult result = future.get();
    EXPECT_EQ(result.started, everyone ? PortSet(0b101111) : PortSet(0b100101)) << round;
    EXPECT_EQ(result.no_port, PortSet(0b100000)) << round;
    // The diagnostics rows are cleared (by the store, under its lock) only
    // when asked.
    const Strings after = s.store.Calls();
    EXPECT_EQ(std::count(after.begin(), after.end(), "clear diagnostics"),
              clearings + (everyone ? 1 : 0))
        << round;
    // Every started line through its whole sweep of start commands before
    // the next Start.
    for (size_t i = 0; i < polled.size(); ++i) {
      const int port = polled[i];
      if (!boxes[static_cast<size_t>(port)]) continue;
      ++starts_of[i];
      const uint64_t from = engine.LineSteps(port);
      ASSERT_TRUE(Eventually([&] { return engine.LineSteps(port) >= from + kSlotCount; }))
          << "COM" << port + 1 << " in round " << round;
    }
  }
  engine.Stop();

  const Strings events = s.events.Lines();
  const auto count = [&](const std::string& line) {
    return std::count(events.begin(), events.end(), line);
  };
  EXPECT_EQ(count("start: polling COM1, COM2, COM3, COM4; no open port: COM6"), kStarts / 2);
  EXPECT_EQ(count("start: polling COM1, COM3; no open port: COM6"), kStarts / 2);
  // Register 1 is the last of a sweep: its start command went out once per
  // Start of its line.
  std::vector<uint8_t> frame(kFrameBufferSize);
  frame.resize(static_cast<size_t>(BuildCommandFrame(frame.data(), 1, kCommandStart)));
  std::string start_to_1 = "write";
  for (uint8_t byte : frame) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    start_to_1 += hex;
  }
  for (size_t i = 0; i < polled.size(); ++i) {
    const Strings& calls = fakes[i]->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), start_to_1), starts_of[i])
        << "COM" << polled[i] + 1;
  }
}

// A worker whose thread has ended cannot take a restart: the Start that
// comes after a Stop made on the engine thread restarts the line itself.
TEST(EngineThreads, AStartAfterTheWorkersEndedStillRestartsTheLine) {
  Station s;
  s.AddAnsweringLine(0);
  Engine& engine = s.Make();
  std::promise<StartResult> second;
  // Both queued before the threads run: taken in one go.
  engine.PostStart(Boxes({0}), false, [&](const StartResult&) { engine.Stop(); });
  engine.PostStart(Boxes({0}), false, [&](const StartResult& r) { second.set_value(r); });
  ASSERT_TRUE(engine.Launch());
  auto future = second.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(future.get().started, PortSet(0b1));
  engine.Stop();
  EXPECT_EQ(s.owned[0]->CurrentSlot(), 0);  // restarted, and no step since
  EXPECT_EQ(s.events.Count("start: polling COM1"), 2);
}

TEST(EngineThreads, AnIdleEngineSleeps) {
  Station s;
  FakeSerialDevice* fake = nullptr;
  s.AddFakeLine(4, &fake);  // no register answers: all dropped in the first sweep
  Engine& engine = s.Make();
  engine.Start(Boxes({4}), false);
  ASSERT_TRUE(engine.Launch());
  ASSERT_TRUE(Eventually([&] { return engine.LineSteps(4) >= 10; }));
  const uint64_t ticks = engine.TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // A tick every 500 ms at most (a 1 ms timer would have made ~1500).
  EXPECT_LE(engine.TickCount() - ticks, 6u);
  EXPECT_EQ(engine.LineSteps(4), 10u);  // every register dropped: no more steps
  engine.Stop();
}

class SignalFiles : public ::testing::Test {
 protected:
  // A real store over scratch folders; the engine watches both.
  Engine& Make(FolderWatch* watch, std::chrono::milliseconds idle_check) {
    store_ = std::make_unique<TDB>(goods_.path(), reports_.path(), SystemFileSystem(), &events_);
    EngineParts parts;
    parts.runtime = &runtime_;
    parts.events = &events_;
    parts.store = store_.get();
    parts.watched_folders = {goods_.path(), reports_.path()};
    parts.watch = watch;
    parts.idle_check = idle_check;
    engine_ = std::make_unique<Engine>(parts);
    return *engine_;
  }
  // Places a signal file and measures until the store has taken it away.
  std::chrono::milliseconds Noticed(const std::string& path) {
    const auto placed = Clock::now();
    testing::WriteFile(path, "");
    EXPECT_TRUE(Eventually([&] { return !testing::FileExists(path); }, std::chrono::seconds(20)));
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - placed);
  }

  testing::ScratchDir goods_, reports_;
  Events events_;
  LineRuntimes runtime_{};
  std::unique_ptr<FolderWatch> watch_ = NewSystemFolderWatch();  // outlives the engine
  std::unique_ptr<TDB> store_;
  std::unique_ptr<Engine> engine_;
};

TEST_F(SignalFiles, ALocalFolderWakesTheEngineAtOnce) {
  // A timed check of a minute: only the change notification can be this quick.
  Engine& engine = Make(watch_.get(), std::chrono::seconds(60));
  ASSERT_TRUE(engine.Launch());
  EXPECT_LT(Noticed(goods_.File("tovars.exp")), std::chrono::seconds(5));
  EXPECT_LT(Noticed(reports_.File("otchet.exp")), std::chrono::seconds(5));
  EXPECT_TRUE(testing::FileExists(reports_.File("otchet2.dbf")));
  engine.Stop();
}

TEST_F(SignalFiles, FoldersWithoutNotificationAreCheckedOnTheTimer) {
  // No change notification given, as where the system has none for them.
  Engine& engine = Make(nullptr, std::chrono::milliseconds(500));
  ASSERT_TRUE(engine.Launch());
  EXPECT_TRUE(events_.Has("no change notification for " + goods_.path()));
  const auto waited = Noticed(goods_.File("tovars.exp"));
  EXPECT_LT(waited, std::chrono::seconds(5));
  // Idle, the engine still sleeps between checks.
  const uint64_t ticks = engine.TickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_LE(engine.TickCount() - ticks, 4u);
  engine.Stop();
}

}  // namespace
}  // namespace tillgate
