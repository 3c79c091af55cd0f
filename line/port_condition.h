#pragma once
// The state of a line's port as event lines tell it, under the lasting
// condition "COMn port" (the window marks the port's button by that name):
// each change is told once, however often it is seen again, so that a dead
// line or a device tried every few seconds never floods the events.

#include <string>

#include "config/event_sink.h"
#include "store/status_board.h"

namespace tillgate {

class PortCondition {
 public:
  // `where` reads like "COM1 (/dev/ttyUSB0)".
  PortCondition(EventSink* events, std::string port_name, std::string where);

  // The port opened: "port opened" the first time, "port opened again" after
  // it had failed or been closed.
  void Opened();
  // Opening failed; told again only when the reason changes.
  void OpenFailed(const std::string& reason);
  // The port was closed under the line (the line hung up, its settings were
  // refused). `hint` follows the reason (what happens next).
  void Closed(const std::string& reason, const std::string& hint);
  // A transfer on the open port failed.
  void TransferFailed(const std::string& reason);
  // A step's transfers all worked: "port works again" after a failure.
  void Worked();
  // Every change (and the state now) also goes to `board` as port
  // `port_index`'s health and last error. May be nullptr; not owned.
  void SetBoard(StatusBoard* board, int port_index);

 private:
  enum class State { kUnknown, kOpen, kOpenFailed, kClosed, kFailing };

  std::string Condition() const { return port_name_ + " port"; }
  PortHealth Health() const;
  // Tells the board the state now; a non-empty `error` is the port's latest
  // failure.
  void Publish(const std::string& error = {});

  EventSink* events_;
  std::string port_name_;
  std::string where_;
  State state_ = State::kUnknown;
  std::string reason_;
  std::string error_;  // the board's text of the latest failure
  StatusBoard* board_ = nullptr;
  int port_index_ = -1;
};

}  // namespace tillgate
