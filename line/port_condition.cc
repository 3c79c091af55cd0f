#include "line/port_condition.h"

namespace tillgate {

PortCondition::PortCondition(EventSink* events, std::string port_name, std::string where)
    : events_(events), port_name_(std::move(port_name)), where_(std::move(where)) {}

void PortCondition::Opened() {
  if (state_ == State::kOpenFailed || state_ == State::kClosed) {
    ReportConditionCleared(events_, Condition(), where_ + ": port opened again");
  } else if (state_ == State::kUnknown) {
    ReportConditionCleared(events_, Condition(), where_ + ": port opened", Severity::kInfo);
  }
  state_ = State::kOpen;
}

void PortCondition::OpenFailed(const std::string& reason) {
  if (state_ == State::kOpenFailed && reason == reason_) return;
  state_ = State::kOpenFailed;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(),
                  where_ + ": port failed to open: " + reason);
}

void PortCondition::Closed(const std::string& reason, const std::string& hint) {
  state_ = State::kClosed;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(),
                  where_ + ": port closed: " + reason + hint);
}

void PortCondition::TransferFailed(const std::string& reason) {
  if (state_ == State::kFailing) return;
  state_ = State::kFailing;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(), where_ + ": " + reason);
}

void PortCondition::Worked() {
  if (state_ != State::kFailing) return;
  state_ = State::kOpen;
  ReportConditionCleared(events_, Condition(), where_ + ": port works again");
}

}  // namespace tillgate
