#include "line/engine.h"

#include <chrono>
#include <exception>

#include "line/event.h"
#include "line/kkm_ekr.h"
#include "line/store_steps.h"
#include "store/grid_model.h"
#include "store/monitoring_views.h"

namespace tillgate {
namespace {

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
      events_(parts.events) {}

Engine::~Engine() { Stop(); }

void Engine::ReportFailure(const std::string& text) {
  // A step failing at every tick would otherwise flood the event lines.
  if (text == last_failure_) return;
  last_failure_ = text;
  Report(events_, Severity::kError, text);
}

void Engine::Guarded(const char* step, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    tick_failed_ = true;
    ReportFailure(std::string(step) + " failed: " + e.what());
  } catch (...) {
    tick_failed_ = true;
    ReportFailure(std::string(step) + " failed: unknown error");
  }
}

void Engine::Timer1Timer() {
  if (!timer_idle_) return;
  IdleGuard guard(timer_idle_);
  tick_failed_ = false;
  if (goods_refresh_requested_ && store_)
    Guarded("goods view refresh", [&] { store_->FillGoodsView(); });
  goods_refresh_requested_ = false;
  PollLines();
  // After a clean tick the same failure coming back is news again.
  if (!tick_failed_) last_failure_.clear();
  ticks_.fetch_add(1);
}

void Engine::PollLines() {
  if (store_) {
    Guarded("report exchange", [&] { store_->ExchangeReport(); });
    Guarded("goods exchange", [&] { store_->ExchangeGoods(); });
  }
  if (!runtime_) return;
  for (int i = 0; i < kPortCount; ++i) {
    TKkmEkr* line = lines_[static_cast<size_t>(i)];
    if ((*runtime_)[static_cast<size_t>(i)].state != kLineRunning || !line) continue;
    Guarded(line->PortName().c_str(), [&] { line->PollStep(); });
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
      lines_[p]->Restart();
      result.started.set(p);
    } else {
      // A connected port without a line object cannot be polled, so it
      // stays connected rather than running.
      if (boxes[p] && connected) result.no_line.set(p);
      entry.state = connected ? kLineConnected : kLineNotConnected;
    }
  }
  return result;
}

StartResult Engine::Start(const StartBoxes& boxes, bool clear_diagnostics) {
  if (clear_diagnostics && diagnostics_)
    diagnostics_->ClearCells(0, kDiagnosticsColumns - 1, 1, kDiagnosticsLastRow);
  StartResult result = StartLines(boxes);
  if (runtime_) ReportStart(result);
  return result;
}

void Engine::ReportStart(const StartResult& result) {
  std::string text = "start: ";
  text +=
      result.started.any() ? "polling " + PortList(result.started, *runtime_) : "no line polled";
  if (result.no_line.any())
    text += "; not started (no register model at start-up): " + PortList(result.no_line, *runtime_);
  Report(events_, text);
}

void Engine::PostStart(const StartBoxes& boxes, bool clear_diagnostics, StartDone done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back({Command::Kind::kStart, boxes, clear_diagnostics, std::move(done)});
  }
  wake_.notify_all();
}

void Engine::PostGoodsRefresh() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.push_back({Command::Kind::kGoodsRefresh, {}, false, {}});
  }
  wake_.notify_all();
}

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
    if (command.done) Guarded("start notification", [&] { command.done(result); });
  }
}

bool Engine::Launch() {
  if (thread_.joinable()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  if (delay_) delay_->ResetEvent();
  thread_ = std::thread([this] { ThreadMain(); });
  return true;
}

void Engine::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (delay_) delay_->SetEvent();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Engine::ThreadMain() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    lock.unlock();
    RunCommands();
    Timer1Timer();
    lock.lock();
    // 1 ms between ticks; a command or a stop cuts the pause short.
    wake_.wait_for(lock, std::chrono::milliseconds(1),
                   [this] { return stop_ || !commands_.empty(); });
  }
}

}  // namespace tillgate
