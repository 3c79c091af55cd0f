#pragma once
// An event sink that keeps every event, for tests and tools that check what
// the server reported. Thread-safe: the engine's threads report while a test
// reads.

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "config/event_sink.h"

namespace tillgate {

// An event as kept: owned copies of the texts.
struct CollectedEvent {
  Severity severity = Severity::kInfo;
  std::string text;
  std::string condition;
  bool cleared = false;
};

class EventCollector final : public EventSink {
 public:
  void Event(const EventLine& line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(
        {line.severity, std::string(line.text), std::string(line.condition), line.cleared});
  }
  std::vector<CollectedEvent> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  // The texts only, in order.
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const CollectedEvent& e : events_) lines.push_back(e.text);
    return lines;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  // How many events' texts contain `part`.
  int Count(std::string_view part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(
        events_.begin(), events_.end(),
        [&](const CollectedEvent& e) { return e.text.find(part) != std::string::npos; }));
  }
  bool Has(std::string_view part) const { return Count(part) > 0; }
  // The first event whose text contains `part`, copied into `*found` when
  // given; false when none does.
  bool Find(std::string_view part, CollectedEvent* found) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const CollectedEvent& e : events_) {
      if (e.text.find(part) == std::string::npos) continue;
      if (found) *found = e;
      return true;
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<CollectedEvent> events_;
};

}  // namespace tillgate
