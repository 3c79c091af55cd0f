#include "app/window/event_log.h"

#include <QDateTime>
#include <QMetaObject>
#include <algorithm>

namespace tillgate {

EventLog::EventLog(EventSink* forward, size_t kept, QObject* parent)
    : QObject(parent), forward_(forward), kept_(std::max<size_t>(kept, 1)) {}

void EventLog::Event(const EventLine& line) {
  if (forward_) forward_->Event(line);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    KeptEvent event;
    event.serial = next_serial_++;
    event.time_ms = QDateTime::currentMSecsSinceEpoch();
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
  // One queued call at a time: a burst of events costs the window one look.
  if (notify_pending_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        notify_pending_.store(false);
        emit Changed();
      },
      Qt::QueuedConnection);
}

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

void EventLog::Acknowledge(uint64_t serial) {
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed = problems_.Acknowledge(serial);
  }
  if (changed) emit Changed();
}

}  // namespace tillgate
