#include "app/presenter/event_log.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace tillgate {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

EventLog::EventLog(EventSink* forward, size_t kept)
    : forward_(forward), kept_(std::max<size_t>(kept, 1)) {}

void EventLog::Event(const EventLine& line) {
  if (forward_) forward_->Event(line);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    KeptEvent event;
    event.serial = next_serial_++;
    event.time_ms = NowMs();
    event.severity = line.severity;
    event.text = std::string(line.text);
    event.condition = std::string(line.condition);
    event.cleared = line.cleared;
    problems_.Add(event);
    events_.push_back(std::move(event));
    while (events_.size() > kept_) events_.pop_front();
  }
  Notify();
}

void EventLog::Notify() {
  // One call at a time: a burst of events costs the reader one look.
  if (notice_pending_.exchange(true)) return;
  std::lock_guard<std::mutex> lock(listener_mutex_);
  if (listener_) listener_();
}

void EventLog::SetListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(listener_mutex_);
  listener_ = std::move(listener);
  // A notice given to no one (or to the old listener) must not hold the new
  // one back.
  notice_pending_.store(false);
}

void EventLog::TakeNotice() { notice_pending_.store(false); }

std::vector<KeptEvent> EventLog::Recent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<KeptEvent>(events_.rbegin(), events_.rend());
}

std::optional<KeptEvent> EventLog::Problem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return problems_.Current();
}

std::map<std::string, KeptEvent> EventLog::ActiveConditions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return problems_.Active();
}

bool EventLog::Acknowledge(uint64_t serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  return problems_.Acknowledge(serial);
}

}  // namespace tillgate
