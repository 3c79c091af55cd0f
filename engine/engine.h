#pragma once
// The polling engine. With its threads launched, every line with a line
// object has a worker of its own (LineWorker) that steps it over the
// blocking port code, so one line's reads and waits never delay another; the
// engine thread supervises: it takes commands (Start, goods refresh), runs
// the store's exchange steps and the goods view refresh, and sleeps in
// between until a command, a change in the shop's folders or its timed check
// (100 ms while a line polls, 500 ms otherwise) wakes it; every 2 s it looks
// at the shop's folders again. The store serializes its own transactions.
//
// Without the threads, a test or tool drives the same parts on its own
// thread: Timer1Timer (the store's part, then one PollStep of every running
// line), StartLines and RunCommands.

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/event_sink.h"
#include "config/port_config.h"
#include "engine/step_failures.h"

namespace tillgate {

class FolderReporter;
class FolderWatch;
class GridModel;
class LineWorker;
class StatusBoard;
class Store;
class TEvent;
class TKkmEkr;

using LineArray = std::array<TKkmEkr*, kPortCount>;  // null: no line object
using StartBoxes = std::array<bool, kPortCount>;     // the "Запуск" page boxes
using PortSet = std::bitset<kPortCount>;

struct StartResult {
  PortSet started;  // now in run state 2, slots reset
  PortSet no_port;  // of those started, the lines whose port is not open
  PortSet no_line;  // box checked and connected, but no line object: left at 1
};

struct EngineParts {
  LineArray lines{};
  LineRuntimes* runtime = nullptr;            // required
  std::array<uint8_t, kPortCount> connect{};  // connect setting of each port
  Store* store = nullptr;                     // null: no store steps
  TEvent* delay = nullptr;                    // signalled by Stop
  GridModel* diagnostics = nullptr;           // cleared by Start when asked
  StatusBoard* status = nullptr;              // told each port's run state
  EventSink* events = nullptr;
  // The goods and report folders: a file placed there wakes the engine at
  // once. Folders without change notification are checked on the timer.
  std::vector<std::string> watched_folders;
  // The system's change notification, from the program (not owned). Null:
  // none, the folders are only looked at on the timed checks.
  FolderWatch* watch = nullptr;
  // The timed check while no line polls.
  std::chrono::milliseconds idle_check{500};
  // Looked at again this often by the engine thread (null: none). Not owned.
  FolderReporter* folders = nullptr;
  std::chrono::milliseconds folder_check{2000};
};

class Engine {
 public:
  explicit Engine(const EngineParts& parts);
  ~Engine();  // stops the threads when they run
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // ---- on the engine thread, or the caller's when the threads do not run
  // The tick: does nothing while another tick is in progress; otherwise the
  // store's part (the goods view refresh when requested, the report
  // exchange step, the goods exchange step), then PollLines. A failing step
  // is reported once (see StepFailures) and the tick goes on; TimerIdle is
  // true afterwards however the tick ended.
  void Timer1Timer();
  // One PollStep of each port in run state 2 that has a line object and no
  // worker of its own, ports 0..15 in order. With the threads launched
  // every line has its worker, so this does nothing.
  void PollLines();
  // For each port: box checked and connected with a line object -> run state
  // 2 and its slots reset (by the line's worker when it has one); otherwise
  // run state 1 when connected, else 0.
  StartResult StartLines(const StartBoxes& boxes);
  // The Start action as the window runs it: when `clear_diagnostics`, first
  // empties rows 1..15, columns 0..4 of the diagnostics grid; then
  // StartLines, reported as one event line ("start: polling COM1; no open
  // port: COM2; not started (no register model at start-up): COM5"). With the threads running (it
  // is then called on the engine thread), every line is held between steps while this happens.
  StartResult Start(const StartBoxes& boxes, bool clear_diagnostics);
  // Takes every queued command now.
  void RunCommands();

  bool TimerIdle() const { return timer_idle_; }
  bool GoodsRefreshRequested() const { return goods_refresh_requested_; }

  // ---- from any thread
  using StartDone = std::function<void(const StartResult&)>;
  // Queues a Start; `clear_diagnostics` first empties the diagnostics rows.
  // `done` runs on the engine thread.
  void PostStart(const StartBoxes& boxes, bool clear_diagnostics, StartDone done = {});
  // Queues a goods view refresh.
  void PostGoodsRefresh();
  // Starts the engine thread and one worker per line object. False when
  // already running.
  bool Launch();
  // Ends every delay wait at once, lets each thread finish what it is doing
  // (a step, a store transaction) and joins them all. Safe to call twice or
  // without threads.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  // Passes of the store's part completed since construction.
  uint64_t TickCount() const { return ticks_.load(); }
  // Steps the worker of port `port_index` has taken; 0 without a worker.
  uint64_t LineSteps(int port_index) const;

 private:
  struct Command {
    enum class Kind { kStart, kGoodsRefresh } kind;
    StartBoxes boxes{};
    bool clear_diagnostics = false;
    StartDone done;
  };

  void ThreadMain();
  // The shop's folders, when their time has come.
  void CheckFolders();
  bool AnyLinePolling() const;
  void Post(Command command);
  // START for the line of `port`, on its worker's thread when it has one;
  // true when its port is open.
  bool RestartLine(size_t port);
  void ReportStart(const StartResult& result);
  // Every port's run state to the status board.
  void PublishPortStates();

  LineArray lines_;
  LineRuntimes* runtime_;
  std::array<uint8_t, kPortCount> connect_;
  Store* store_;
  TEvent* delay_;
  GridModel* diagnostics_;
  StatusBoard* status_;
  EventSink* events_;
  std::vector<std::string> watched_folders_;
  std::unique_ptr<FolderWatch> own_watch_;
  FolderWatch* watch_;
  std::chrono::milliseconds idle_check_;
  FolderReporter* folders_;
  std::chrono::milliseconds folder_check_;
  std::chrono::steady_clock::time_point next_folder_check_{};

  // Used by the tick's thread only.
  bool timer_idle_ = true;
  bool goods_refresh_requested_ = true;  // the first tick fills the goods view
  StepFailures failures_;
  std::atomic<uint64_t> ticks_{0};

  std::array<std::unique_ptr<LineWorker>, kPortCount> workers_;

  std::mutex mutex_;
  std::deque<Command> commands_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tillgate
