#include "engine/line_worker.h"

#include <chrono>

#include "line/kkm_ekr.h"

namespace tillgate {
namespace {

// The pause between two steps of a line, as between two ticks of a timer
// of 1 ms.
constexpr auto kStepPause = std::chrono::milliseconds(1);

}  // namespace

LineWorker::LineWorker(TKkmEkr& line, EventSink* events) : line_(line), failures_(events) {}

LineWorker::~LineWorker() {
  RequestStop();
  Join();
}

void LineWorker::Launch(bool running) {
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = running;
    stop_ = false;
    live_ = true;
    // The thread does not run yet: the line is still the caller's.
    has_work_ = line_.HasWork();
    polling_ = running && has_work_;
    ScheduleRescan();
  }
  thread_ = std::thread([this] { Run(); });
}

void LineWorker::NoteWork() {
  has_work_ = line_.HasWork();
  polling_ = running_ && has_work_;
}

void LineWorker::RestartLine() {
  line_.Restart();
  has_work_ = line_.HasWork();
  port_open_ = line_.IsOpen();
}

void LineWorker::RestartHere() {
  RestartLine();
  restart_requested_ = false;
  restart_done_ = true;
  changed_.notify_all();
}

bool LineWorker::MayStep() const { return running_ && !held_ && line_.HasWork(); }

bool LineWorker::RescanDue() const {
  return running_ && !held_ && line_.Options().rescan_seconds > 0 && Clock::now() >= next_rescan_;
}

void LineWorker::ScheduleRescan() {
  next_rescan_ = Clock::now() + std::chrono::seconds(line_.Options().rescan_seconds);
}

void LineWorker::WaitForWork(std::unique_lock<std::mutex>& lock) {
  const auto ready = [this] { return stop_ || restart_requested_ || MayStep() || RescanDue(); };
  if (running_ && line_.Options().rescan_seconds > 0) {
    changed_.wait_until(lock, next_rescan_, ready);
  } else {
    changed_.wait(lock, ready);
  }
}

// The line's whole life on its thread. A line that has nothing to poll
// sleeps until Start, stop or its next rescan wakes it.
void LineWorker::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    NoteWork();
    WaitForWork(lock);
    // Before stopping: the engine waits for it.
    if (restart_requested_) {
      RestartHere();
      continue;
    }
    if (stop_) break;
    const bool rescan = RescanDue();
    if (!rescan && !MayStep()) continue;
    if (rescan) ScheduleRescan();
    busy_ = true;
    lock.unlock();
    if (rescan) {
      failures_.Run(line_.PortName(), [this] { line_.Rescan(); });
    } else {
      failures_.Run(line_.PortName(), [this] { line_.PollStep(); });
      steps_.fetch_add(1);
    }
    lock.lock();
    busy_ = false;
    changed_.notify_all();  // a Hold waiting for the step to end
    changed_.wait_for(lock, kStepPause, [this] { return stop_ || held_ || restart_requested_; });
  }
  polling_ = false;
  live_ = false;
  changed_.notify_all();  // a Restart waiting for a thread that has ended
}

void LineWorker::RequestHold() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = true;
}

void LineWorker::Hold() {
  std::unique_lock<std::mutex> lock(mutex_);
  held_ = true;
  changed_.wait(lock, [this] { return !busy_; });
}

bool LineWorker::Restart() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (live_) {
    restart_requested_ = true;
    restart_done_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return restart_done_ || !live_; });
  }
  if (!restart_done_) {
    // No thread to take it: the line is the caller's (the lock orders this
    // after whatever the ended thread did).
    restart_requested_ = false;
    RestartLine();
  }
  restart_done_ = false;
  return port_open_;
}

void LineWorker::Resume(bool running) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
    running_ = running;
    polling_ = running && has_work_;
    ScheduleRescan();
  }
  changed_.notify_all();
}

void LineWorker::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
}

void LineWorker::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace tillgate
