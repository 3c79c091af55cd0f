#pragma once
// Requests from outside the process to stop the server or to run its Start
// action again: SIGINT/SIGTERM and SIGHUP on POSIX; Ctrl+C and closing the
// console, or the service manager's STOP, SHUTDOWN and PARAMCHANGE, on
// Windows.

#include <chrono>
#include <memory>
#include <string>

namespace tillgate {

struct ControlRequest {
  enum class Kind { kNone, kStop, kStart };
  Kind kind = Kind::kNone;
  // As event lines name it: "SIGTERM", "SIGINT", "SIGHUP", "Ctrl+C",
  // "service stop" ...
  std::string name;
};

class ControlRequests {
 public:
  virtual ~ControlRequests() = default;
  // The next request; kind kNone when `timeout` passes first.
  virtual ControlRequest Wait(std::chrono::milliseconds timeout) = 0;
  // From any thread (a service's control handler, a window closing, a
  // test): a request as if it had come from outside.
  virtual void Post(ControlRequest request) = 0;
};

// Takes this system's stop and start requests from now on, instead of their
// default effect (ending the process), until the object goes. Make it before
// any other thread is started: on POSIX the signals are blocked in this
// thread and in every thread started after it. One at a time.
std::unique_ptr<ControlRequests> ListenForControlRequests();

// Writing to a pipe or socket whose reader went away fails with an error
// instead of ending the process (POSIX SIGPIPE); a reader of event lines that
// goes away must cost the lines, never the registers being served.
void IgnoreBrokenPipes();

}  // namespace tillgate
