#include "line/port_condition.h"

namespace tillgate {

PortCondition::PortCondition(EventSink* events, std::string port_name, std::string where)
    : events_(events), port_name_(std::move(port_name)), where_(std::move(where)) {}

void PortCondition::SetBoard(StatusBoard* board, int port_index) {
  board_ = board;
  port_index_ = port_index;
  if (board_) board_->SetPortHealth(port_index_, Health(), error_);
}

PortHealth PortCondition::Health() const {
  switch (state_) {
    case State::kOpen:
      return PortHealth::kOpen;
    case State::kFailing:
      return PortHealth::kFailing;
    case State::kClosed:
      return PortHealth::kClosed;
    case State::kOpenFailed:
      return PortHealth::kOpenFailed;
    case State::kUnknown:
      break;
  }
  return PortHealth::kNone;
}

void PortCondition::Publish(const std::string& error) {
  if (!error.empty()) error_ = error;
  if (board_) board_->SetPortHealth(port_index_, Health(), error);
}

void PortCondition::Opened() {
  if (state_ == State::kOpenFailed || state_ == State::kClosed) {
    ReportConditionCleared(events_, Condition(), where_ + ": port opened again");
  } else if (state_ == State::kUnknown) {
    ReportConditionCleared(events_, Condition(), where_ + ": port opened", Severity::kInfo);
  }
  state_ = State::kOpen;
  Publish();
}

void PortCondition::OpenFailed(const std::string& reason) {
  if (state_ == State::kOpenFailed && reason == reason_) return;
  state_ = State::kOpenFailed;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(),
                  where_ + ": port failed to open: " + reason);
  Publish("port failed to open: " + reason);
}

void PortCondition::Closed(const std::string& reason, const std::string& hint) {
  state_ = State::kClosed;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(),
                  where_ + ": port closed: " + reason + hint);
  Publish("port closed: " + reason);
}

void PortCondition::TransferFailed(const std::string& reason) {
  if (state_ == State::kFailing) return;
  state_ = State::kFailing;
  reason_ = reason;
  ReportCondition(events_, Severity::kError, Condition(), where_ + ": " + reason);
  Publish(reason);
}

void PortCondition::Worked() {
  if (state_ != State::kFailing) return;
  state_ = State::kOpen;
  ReportConditionCleared(events_, Condition(), where_ + ": port works again");
  Publish();
}

}  // namespace tillgate
