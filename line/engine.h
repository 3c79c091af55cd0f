#pragma once
// The polling engine: the tick (Timer1Timer) that runs the store steps and
// one PollStep of every running line, the Start action, and the one engine
// thread that runs ticks 1 ms apart and takes commands between them.
//
// Everything the tick touches (lines, store, runtime table, grids) belongs to
// the engine thread while it runs. Other threads only post commands. Without
// the thread, a test drives Timer1Timer, StartLines and RunCommands itself.

#include <array>
#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "config/port_config.h"
#include "config/event_sink.h"

namespace tillgate {

class GridModel;
class StoreSteps;
class TEvent;
class TKkmEkr;

using LineArray = std::array<TKkmEkr*, kPortCount>;  // null: no line object
using StartBoxes = std::array<bool, kPortCount>;     // the "Запуск" page boxes
using PortSet = std::bitset<kPortCount>;

struct StartResult {
  PortSet started;  // now in run state 2, slots reset
  PortSet no_line;  // box checked and connected, but no line object: left at 1
};

struct EngineParts {
  LineArray lines{};
  LineRuntimes* runtime = nullptr;            // required
  std::array<uint8_t, kPortCount> connect{};  // connect setting of each port
  StoreSteps* store = nullptr;                // null: no store steps
  TEvent* delay = nullptr;                    // signalled by Stop
  GridModel* diagnostics = nullptr;           // cleared by Start when asked
  EventSink* events = nullptr;
};

class Engine {
 public:
  explicit Engine(const EngineParts& parts);
  ~Engine();  // stops the thread when it runs
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- on the engine thread (or the test's, when no thread runs)
  // The tick: does nothing while another tick is in progress; otherwise the
  // goods view refresh when requested, then PollLines. An exception from a
  // step is reported and the tick goes on; TimerIdle is true afterwards
  // however the tick ended.
  void Timer1Timer();
  // Store report step, store goods step, then one PollStep of each port in
  // run state 2 that has a line object, ports 0..15 in order.
  void PollLines();
  // For each port: box checked and connected with a line object -> run state
  // 2 and its slots reset; otherwise run state 1 when connected, else 0.
  StartResult StartLines(const StartBoxes& boxes);
  // The Start action as the window runs it: when `clear_diagnostics`, first
  // empties rows 1..14, columns 0..4 of the diagnostics grid; then
  // StartLines, reported as one event line.
  StartResult Start(const StartBoxes& boxes, bool clear_diagnostics);
  // Takes every queued command now.
  void RunCommands();

  bool TimerIdle() const { return timer_idle_; }
  bool GoodsRefreshRequested() const { return goods_refresh_requested_; }
  void SetStoreSteps(StoreSteps* store) { store_ = store; }

  // ---- from any thread
  using StartDone = std::function<void(const StartResult&)>;
  // Queues a Start; `clear_diagnostics` first empties rows 1..14, columns
  // 0..4 of the diagnostics grid. `done` runs on the engine thread.
  void PostStart(const StartBoxes& boxes, bool clear_diagnostics, StartDone done = {});
  // Queues a goods view refresh for the next tick.
  void PostGoodsRefresh();
  // Starts the engine thread (ticks 1 ms apart). False when already running.
  bool Launch();
  // Ends every delay wait at once, lets the current tick finish and joins
  // the thread. Safe to call twice or without a thread.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  // Ticks completed since construction.
  uint64_t TickCount() const { return ticks_.load(); }

 private:
  struct Command {
    enum class Kind { kStart, kGoodsRefresh } kind;
    StartBoxes boxes{};
    bool clear_diagnostics = false;
    StartDone done;
  };

  void ThreadMain();
  // Runs one step; an exception is reported, not passed on.
  void Guarded(const char* step, const std::function<void()>& body);
  void ReportFailure(const std::string& text);
  void ReportStart(const StartResult& result);

  LineArray lines_;
  LineRuntimes* runtime_;
  std::array<uint8_t, kPortCount> connect_;
  StoreSteps* store_;
  TEvent* delay_;
  GridModel* diagnostics_;
  EventSink* events_;

  bool timer_idle_ = true;
  bool goods_refresh_requested_ = true;  // the first tick fills the goods view
  std::string last_failure_;             // the same failure is reported once in a row
  bool tick_failed_ = false;             // a step of the current tick threw
  std::atomic<uint64_t> ticks_{0};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Command> commands_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tillgate
