#pragma once
// The window's list of recent events: an event sink that keeps the latest
// events and the problems still in force, passes every event on (to the
// terminal's event lines), and tells a listener that something arrived. The
// listener is called on the reporting thread and only hands the news over to
// the window's own thread (a view's matter); there the window reads the log.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/presenter/problem_tracker.h"
#include "config/event_sink.h"

namespace tillgate {

class EventLog final : public EventSink {
 public:
  static constexpr size_t kDefaultKept = 1000;

  // `forward` (may be null, not owned) gets every event too. Must outlive
  // every thread that reports to it.
  explicit EventLog(EventSink* forward = nullptr, size_t kept = kDefaultKept);

  // Any thread.
  void Event(const EventLine& line) override;

  // `listener` is called, on the reporting thread, when events arrive and
  // no earlier call is still unanswered by TakeNotice: a burst of events
  // costs one call. Replaces any earlier listener; an empty one removes it.
  // Once this returns, the old listener is no longer running.
  void SetListener(std::function<void()> listener);
  // The news has reached the reader, which reads the log next: the next
  // event calls the listener again.
  void TakeNotice();

  // The kept events, newest first.
  std::vector<KeptEvent> Recent() const;
  // The problem the foot line shows, if any.
  std::optional<KeptEvent> Problem() const;
  // The conditions now in force, by name.
  std::map<std::string, KeptEvent> ActiveConditions() const;
  // The operator has looked at the list, down from event `serial`. True when
  // that changed the problem to show.
  bool Acknowledge(uint64_t serial);

 private:
  void Notify();

  EventSink* forward_;
  const size_t kept_;
  mutable std::mutex mutex_;
  std::deque<KeptEvent> events_;
  ProblemTracker problems_;
  uint64_t next_serial_ = 1;
  std::mutex listener_mutex_;
  std::function<void()> listener_;
  std::atomic<bool> notice_pending_{false};
};

}  // namespace tillgate
