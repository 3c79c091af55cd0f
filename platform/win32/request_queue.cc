#include "platform/win32/request_queue.h"

#include <utility>

namespace tillgate {

ControlRequest RequestQueue::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!posted_.wait_for(lock, timeout, [this] { return !requests_.empty(); }))
    return ControlRequest();
  ControlRequest request = std::move(requests_.front());
  requests_.pop_front();
  return request;
}

void RequestQueue::Post(ControlRequest request) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
  }
  posted_.notify_all();
}

}  // namespace tillgate
