#include "app/presenter/problem_tracker.h"

namespace tillgate {

void ProblemTracker::Add(const KeptEvent& event) {
  if (!event.condition.empty()) {
    if (event.cleared) {
      active_.erase(event.condition);
    } else if (IsProblem(event.severity)) {
      active_[event.condition] = event;
    }
    // A notice under a condition that does not clear it changes nothing.
    return;
  }
  if (IsProblem(event.severity)) one_off_ = event;
}

bool ProblemTracker::Acknowledge(uint64_t serial) {
  if (!one_off_ || one_off_->serial > serial) return false;
  one_off_.reset();
  return true;
}

std::optional<KeptEvent> ProblemTracker::Current() const {
  std::optional<KeptEvent> newest = one_off_;
  for (const auto& [name, event] : active_)
    if (!newest || event.serial > newest->serial) newest = event;
  return newest;
}

}  // namespace tillgate
