#pragma once
// Which warning or error the window's foot line shows. A lasting condition
// (a port that failed to open, a report that cannot be appended to) is shown
// until an event clears it; a one-off warning or error is shown until the
// operator has opened the event list. Of everything still to be shown, the
// newest wins, so an older condition comes back once a newer problem is
// over.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "config/event_sink.h"

namespace tillgate {

// An event as the window keeps it.
struct KeptEvent {
  uint64_t serial = 0;  // counts events from 1, in arrival order
  int64_t time_ms = 0;  // local wall-clock time of arrival, ms since the epoch
  Severity severity = Severity::kInfo;
  std::string text;
  std::string condition;
  bool cleared = false;
};

inline bool IsProblem(Severity severity) {
  return severity == Severity::kError || severity == Severity::kWarning;
}

class ProblemTracker {
 public:
  void Add(const KeptEvent& event);
  // The operator has seen the events up to `serial`: one-off problems among
  // them go. True when that changed what is shown.
  bool Acknowledge(uint64_t serial);
  // What the foot line shows; empty when nothing is wrong.
  std::optional<KeptEvent> Current() const;
  // The conditions now in force, by name, with the event that started them.
  const std::map<std::string, KeptEvent>& Active() const { return active_; }

 private:
  std::map<std::string, KeptEvent> active_;
  std::optional<KeptEvent> one_off_;
};

}  // namespace tillgate
