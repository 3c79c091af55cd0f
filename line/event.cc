#include "line/event.h"

#include <chrono>

namespace tillgate {

THandledObject::THandledObject() : state_(std::make_unique<State>()) {}

THandledObject::~THandledObject() = default;

TEvent::TEvent(const std::string& name, bool manual_reset)
    : name_(name + ".Data"), manual_reset_(manual_reset) {}

bool TEvent::WaitFor(uint32_t ms) {
  State& s = state();
  std::unique_lock<std::mutex> lock(s.mutex);
  // Steady clock: a change of the wall clock must not stretch a delay.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  bool signalled = s.changed.wait_until(lock, deadline, [&] { return s.signalled; });
  if (signalled && !manual_reset_) s.signalled = false;
  return signalled;
}

void TEvent::SetEvent() {
  State& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.signalled = true;
  }
  s.changed.notify_all();
}

void TEvent::ResetEvent() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.signalled = false;
}

}  // namespace tillgate
