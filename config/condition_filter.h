#pragma once
// Keeps a lasting condition from flooding the event lines: an event that
// starts or changes a condition is passed on only when its text differs from
// the last one passed for that condition, or when the condition has cleared
// since. One-off events and the events that clear a condition always pass.

#include <map>
#include <mutex>
#include <string>

#include "config/event_sink.h"

namespace tillgate {

class ConditionFilter final : public EventSink {
 public:
  // `next` is not owned and must outlive the filter.
  explicit ConditionFilter(EventSink* next) : next_(next) {}
  void Event(const EventLine& line) override;

 private:
  EventSink* next_;
  std::mutex mutex_;
  std::map<std::string, std::string, std::less<>> last_text_;  // by condition
};

}  // namespace tillgate
