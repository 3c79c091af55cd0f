#pragma once
// One line on its own thread: steps the line's polling cycle one register at
// a time, 1 ms apart, over the blocking port code; sleeps while the line is
// not running, its port is closed or every register on it is dropped; runs
// the line's rescan every RESCAN seconds while it is running (counted from
// Launch or Start); and stops at a step boundary when Start has to change the
// line. Nothing a line does waits for another line.
//
// The line's slots and port are used on this thread only, or under the
// worker's lock while the thread does not step: even a held line looks at
// its own state, so Start hands the restart to the worker instead of
// touching the line itself.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "config/event_sink.h"
#include "engine/step_failures.h"

namespace tillgate {

class TKkmEkr;

class LineWorker {
 public:
  LineWorker(TKkmEkr& line, EventSink* events);
  // Stops and joins the thread.
  ~LineWorker();
  LineWorker(const LineWorker&) = delete;
  LineWorker& operator=(const LineWorker&) = delete;

  // Starts the thread; the line is stepped while `running`.
  void Launch(bool running);
  // Asks the line to stay between steps from its current step's end on;
  // returns at once (several lines can be asked before waiting on any).
  void RequestHold();
  // RequestHold, then waits until the current step (if any) has ended: the
  // caller may change the line until Resume.
  void Hold();
  // Has the line restarted (START: every slot back to its start command)
  // on its own thread, between two steps, and waits for it; true when its
  // port is open. Without a thread (not launched, or ended) the line is
  // restarted on the caller's.
  bool Restart();
  // Lets the line go on, stepped from now on while `running`.
  void Resume(bool running);
  // Asks the thread to end after its current step; Join waits for it.
  void RequestStop();
  void Join();

  // Running with an open port and a register still in the rotation (as of
  // the last step).
  bool Polling() const { return polling_.load(); }
  // Steps taken since Launch.
  uint64_t Steps() const { return steps_.load(); }

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  // Under mutex_:
  // What the line has to do, as the thread last saw it.
  void NoteWork();
  // The line restarted, and what it has to do afterwards.
  void RestartLine();
  // The requested restart, on the thread; tells the waiting Restart.
  void RestartHere();
  bool MayStep() const;
  bool RescanDue() const;
  void ScheduleRescan();
  // Sleeps until there is something to do: a step, a rescan, or stopping.
  void WaitForWork(std::unique_lock<std::mutex>& lock);

  TKkmEkr& line_;
  StepFailures failures_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool running_ = false;
  bool held_ = false;
  bool busy_ = false;  // inside a step
  bool stop_ = false;
  bool live_ = false;  // the thread runs and takes restart requests
  bool restart_requested_ = false;
  bool restart_done_ = false;
  bool port_open_ = false;  // as the latest restart found it
  bool has_work_ = false;   // HasWork as of the thread's latest look
  Clock::time_point next_rescan_{};
  std::atomic<bool> polling_{false};
  std::atomic<uint64_t> steps_{0};
  std::thread thread_;
};

}  // namespace tillgate
