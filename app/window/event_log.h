#pragma once
// The window's list of recent events: an event sink that keeps the latest
// events and the problems still in force, passes every event on (to the
// terminal's event lines), and tells the window, on the window's thread,
// that something arrived.

#include <QObject>
#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/window/problem_tracker.h"
#include "config/event_sink.h"

namespace tillgate {

class EventLog final : public QObject, public EventSink {
  Q_OBJECT

 public:
  static constexpr size_t kDefaultKept = 1000;

  // `forward` (may be null, not owned) gets every event too. Must outlive
  // every thread that reports to it.
  explicit EventLog(EventSink* forward = nullptr, size_t kept = kDefaultKept,
                    QObject* parent = nullptr);

  // Any thread.
  void Event(const EventLine& line) override;

  // The kept events, newest first.
  std::vector<KeptEvent> Recent() const;
  // The problem the foot line shows, if any.
  std::optional<KeptEvent> Problem() const;
  // The conditions now in force, by name.
  std::map<std::string, KeptEvent> ActiveConditions() const;
  // The operator has looked at the list, down from event `serial`.
  void Acknowledge(uint64_t serial);

 signals:
  // Something changed; emitted on this object's thread, once for any number
  // of events that arrived meanwhile.
  void Changed();

 private:
  void Notify();

  EventSink* forward_;
  const size_t kept_;
  mutable std::mutex mutex_;
  std::deque<KeptEvent> events_;
  ProblemTracker problems_;
  uint64_t next_serial_ = 1;
  std::atomic<bool> notify_pending_{false};
};

}  // namespace tillgate
