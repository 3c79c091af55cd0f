#include "config/condition_filter.h"

namespace tillgate {

void ConditionFilter::Event(const EventLine& line) {
  if (!line.condition.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = last_text_.find(line.condition);
    if (line.cleared) {
      if (found != last_text_.end()) last_text_.erase(found);
    } else if (found != last_text_.end() && found->second == line.text) {
      return;
    } else if (found != last_text_.end()) {
      found->second.assign(line.text);
    } else {
      last_text_.emplace(std::string(line.condition), std::string(line.text));
    }
  }
  if (next_) next_->Event(line);
}

}  // namespace tillgate
