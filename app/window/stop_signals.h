#pragma once
// A stop request from outside (SIGINT, SIGTERM) closes the window as its
// close box does: the engine ends its current tick, nothing is saved, the
// program exits. A start request (SIGHUP, which ended the window before
// requests were taken) closes it too.

#include <atomic>
#include <thread>

#include "platform/control_requests.h"

class QWidget;

namespace tillgate {

class CloseOnStopRequests {
 public:
  // Waits for `requests` on a thread of its own and posts the close to the
  // window's event loop. `window` and `requests` must outlive this object.
  CloseOnStopRequests(QWidget* window, ControlRequests& requests);
  // Ends the waiting thread.
  ~CloseOnStopRequests();
  CloseOnStopRequests(const CloseOnStopRequests&) = delete;
  CloseOnStopRequests& operator=(const CloseOnStopRequests&) = delete;

 private:
  ControlRequests& requests_;
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

}  // namespace tillgate
