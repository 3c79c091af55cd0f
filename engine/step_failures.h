#pragma once
// Runs the steps of a tick or of a line and reports a step that fails: once
// when it starts failing, and again only after it has worked in between, so
// that a step failing at every pass writes one line, not one per pass. Each
// thread keeps its own.

#include <functional>
#include <map>
#include <string>

#include "config/event_sink.h"

namespace tillgate {

class StepFailures {
 public:
  explicit StepFailures(EventSink* events) : events_(events) {}

  // Runs `body`. An exception is caught and, when `step` was not already
  // failing, reported as "<step> failed: <reason>" (a lasting condition
  // named after the step); a step that works again after failing is
  // reported as "<step> works again". True when `body` returned normally.
  bool Run(const std::string& step, const std::function<void()>& body);

  bool Failing(const std::string& step) const;

 private:
  void Failed(const std::string& step, const std::string& reason);

  EventSink* events_;
  std::map<std::string, bool> failing_;
};

}  // namespace tillgate
