#include "engine/engine.h"

#include <condition_variable>

#include "config/folder_reporter.h"
#include "engine/line_worker.h"
#include "line/event.h"
#include "line/kkm_ekr.h"
#include "platform/folder_watch.h"
#include "store/grid_model.h"
#include "store/monitoring_views.h"
#include "store/status_board.h"
#include "store/store.h"

namespace tillgate {
namespace {

// The timed check while a line polls: about as often as a line's step, so
// that a step of the store that needs retrying (a goods file that could not
// be opened, report records waiting for their file) is retried as soon as
// it used to be.
constexpr auto kPollingCheck = std::chrono::milliseconds(100);

// Puts TimerIdle back however the tick ends.
class IdleGuard final {
 public:
  explicit IdleGuard(bool& idle) : idle_(idle) { idle_ = false; }
  ~IdleGuard() { idle_ = true; }
  IdleGuard(const IdleGuard&) = delete;
  IdleGuard& operator=(const IdleGuard&) = delete;

 private:
  bool& idle_;
};

// Without the system's notification: Add always fails, and Wait ends on
// Wake or at its time-out.
class TimerOnlyWatch final : public FolderWatch {
 public:
  Status Add(const std::string&) override {
    return Status(Status::kNotSupported, "no change notification was given");
  }
  bool Wait(std::chrono::milliseconds timeout) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool woken = wake_.wait_for(lock, timeout, [this] { return woken_; });
    woken_ = false;
    return woken;
  }
  void Wake() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      woken_ = true;
    }
    wake_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

std::string PortList(const PortSet& ports, const LineRuntimes& runtime) {
  std::string text;
  for (int i = 0; i < kPortCount; ++i) {
    if (!ports[static_cast<size_t>(i)]) continue;
    if (!text.empty()) text += ", ";
    text += runtime[static_cast<size_t>(i)].port_name[0] ? runtime[static_cast<size_t>(i)].port_name
                                                         : "COM" + std::to_string(i + 1);
  }
  return text;
}

}  // namespace

Engine::Engine(const EngineParts& parts)
    : lines_(parts.lines),
      runtime_(parts.runtime),
      connect_(parts.connect),
      store_(parts.store),
      delay_(parts.delay),
      diagnostics_(parts.diagnostics),
      status_(parts.status),
      events_(parts.events),
      watched_folders_(parts.watched_folders),
      own_watch_(parts.watch ? nullptr : std::make_unique<TimerOnlyWatch>()),
      watch_(parts.watch ? parts.watch : own_watch_.get()),
      idle_check_(parts.idle_check),
      folders_(parts.folders),
      folder_check_(parts.folder_check),
      failures_(parts.events) {
  PublishPortStates();
}

Engine::~Engine() { Stop(); }

void Engine::Timer1Timer() {
  if (!timer_idle_) return;
  IdleGuard guard(timer_idle_);
  if (goods_refresh_requested_ && store_)
    failures_.Run("goods view refresh", [&] { store_->FillGoodsView(); });
  goods_refresh_requested_ = false;
  if (store_) {
    failures_.Run("report exchange", [&] { store_->ExchangeReport(); });
    failures_.Run("goods exchange", [&] { store_->ExchangeGoods(); });
  }
  PollLines();
  ticks_.fetch_add(1);
}

void Engine::PollLines() {
  if (!runtime_) return;
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    TKkmEkr* line = lines_[p];
    if ((*runtime_)[p].state != kLineRunning || !line || workers_[p]) continue;
    failures_.Run(line->PortName(), [&] { line->PollStep(); });
  }
}

StartResult Engine::StartLines(const StartBoxes& boxes) {
  StartResult result;
  if (!runtime_) return result;
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    const bool connected = connect_[p] == 1;
    LineRuntime& entry = (*runtime_)[p];
    if (boxes[p] && connected && lines_[p]) {
      entry.state = kLineRunning;
      result.started.set(p);
      if (!RestartLine(p)) result.no_port.set(p);
    } else {
      // A connected port without a line object cannot be polled, so it
      // stays connected rather than running.
      if (boxes[p] && connected) result.no_line.set(p);
      entry.state = connected ? kLineConnected : kLineNotConnected;
    }
  }
  PublishPortStates();
  return result;
}

bool Engine::RestartLine(size_t port) {
  // A line with a worker is that thread's: the worker restarts it.
  if (workers_[port]) return workers_[port]->Restart();
  lines_[port]->Restart();
  return lines_[port]->IsOpen();
}

void Engine::PublishPortStates() {
  if (!status_ || !runtime_) return;
  for (int i = 0; i < kPortCount; ++i)
    status_->SetPortState(i, static_cast<uint8_t>((*runtime_)[static_cast<size_t>(i)].state));
}

StartResult Engine::Start(const StartBoxes& boxes, bool clear_diagnostics) {
  // Every line between two steps: no register identified before this Start
  // can appear in the cleared rows, and no slot changes under a step.
  for (auto& worker : workers_)
    if (worker) worker->RequestHold();
  for (auto& worker : workers_)
    if (worker) worker->Hold();
  if (clear_diagnostics && store_) store_->ClearDiagnostics();
  StartResult result = StartLines(boxes);
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    if (workers_[p]) workers_[p]->Resume(runtime_ && (*runtime_)[p].state == kLineRunning);
  }
  if (runtime_) ReportStart(result);
  return result;
}

void Engine::ReportStart(const StartResult& result) {
  // A line without an open port talks to no register: it is named apart,
  // not among the lines polled.
  const PortSet polled = result.started & ~result.no_port;
  std::string text = "start: ";
  text += polled.any() ? "polling " + PortList(polled, *runtime_) : "no line polled";
  if (result.no_port.any()) text += "; no open port: " + PortList(result.no_port, *runtime_);
  if (result.no_line.any())
    text += "; not started (no register model at start-up): " + PortList(result.no_line, *runtime_);
  Report(events_, text);
}

void Engine::Post(Command command) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back(std::move(command));
  }
  watch_->Wake();
}

void Engine::PostStart(const StartBoxes& boxes, bool clear_diagnostics, StartDone done) {
  Post({Command::Kind::kStart, boxes, clear_diagnostics, std::move(done)});
}

void Engine::PostGoodsRefresh() { Post({Command::Kind::kGoodsRefresh, {}, false, {}}); }

void Engine::RunCommands() {
  std::deque<Command> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(commands_);
  }
  for (Command& command : taken) {
    if (command.kind == Command::Kind::kGoodsRefresh) {
      goods_refresh_requested_ = true;
      continue;
    }
    StartResult result = Start(command.boxes, command.clear_diagnostics);
    if (command.done) failures_.Run("start notification", [&] { command.done(result); });
  }
}

bool Engine::AnyLinePolling() const {
  for (const auto& worker : workers_)
    if (worker && worker->Polling()) return true;
  return false;
}

uint64_t Engine::LineSteps(int port_index) const {
  if (port_index < 0 || port_index >= kPortCount) return 0;
  const auto& worker = workers_[static_cast<size_t>(port_index)];
  return worker ? worker->Steps() : 0;
}

bool Engine::Launch() {
  if (thread_.joinable()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  if (delay_) delay_->ResetEvent();
  for (const std::string& folder : watched_folders_) {
    if (folder.empty()) continue;
    const Status watched = watch_->Add(folder);
    if (!watched.ok())
      Report(events_, Severity::kInfo,
             "no change notification for " + folder + " (" + watched.Reason() +
                 "): checked every " + std::to_string(idle_check_.count()) + " ms");
  }
  for (int i = 0; i < kPortCount; ++i) {
    const size_t p = static_cast<size_t>(i);
    if (!lines_[p]) continue;
    workers_[p] = std::make_unique<LineWorker>(*lines_[p], events_);
    workers_[p]->Launch(runtime_ && (*runtime_)[p].state == kLineRunning);
  }
  {
    // The thread's first step takes mutex_: from then on it sees thread_
    // set, as a Stop made on it looks at it.
    std::lock_guard<std::mutex> lock(mutex_);
    thread_ = std::thread([this] { ThreadMain(); });
  }
  return true;
}

void Engine::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  watch_->Wake();
  if (delay_) delay_->SetEvent();
  for (auto& worker : workers_)
    if (worker) worker->RequestStop();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  for (auto& worker : workers_)
    if (worker) worker->Join();
  if (!thread_.joinable())
    for (auto& worker : workers_) worker.reset();
}

void Engine::CheckFolders() {
  if (!folders_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_folder_check_) return;
  next_folder_check_ = now + folder_check_;
  failures_.Run("folder check", [this] { folders_->Check(); });
}

// The supervisor: commands, then the store's part, then sleep until a
// command, a file placed in a watched folder or the timed check.
void Engine::ThreadMain() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) break;
    }
    RunCommands();
    Timer1Timer();
    CheckFolders();
    watch_->Wait(AnyLinePolling() ? kPollingCheck : idle_check_);
  }
}

}  // namespace tillgate
