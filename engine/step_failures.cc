#include "engine/step_failures.h"

#include <exception>

namespace tillgate {

bool StepFailures::Run(const std::string& step, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    Failed(step, e.what());
    return false;
  } catch (...) {
    Failed(step, "unknown error");
    return false;
  }
  auto it = failing_.find(step);
  if (it != failing_.end() && it->second) {
    it->second = false;
    ReportConditionCleared(events_, step, step + " works again");
  }
  return true;
}

bool StepFailures::Failing(const std::string& step) const {
  auto it = failing_.find(step);
  return it != failing_.end() && it->second;
}

void StepFailures::Failed(const std::string& step, const std::string& reason) {
  bool& failing = failing_[step];
  if (failing) return;
  failing = true;
  ReportCondition(events_, Severity::kError, step, step + " failed: " + reason);
}

}  // namespace tillgate
