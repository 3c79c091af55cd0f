#pragma once
// Stop and start requests handed from the system's handler threads (the
// console's control handler, the service control handler) to the thread
// that waits for them, in the order they came.

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/control_requests.h"

namespace tillgate {

class RequestQueue : public ControlRequests {
 public:
  ControlRequest Wait(std::chrono::milliseconds timeout) override;
  void Post(ControlRequest request) override;

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<ControlRequest> requests_;
};

}  // namespace tillgate
