#pragma once
// An event sink that keeps every line, for tests and tools that check what
// the server reported. Thread-safe: the engine thread reports while a test
// reads.

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "line/event_sink.h"

namespace tillgate {

class EventCollector final : public EventSink {
 public:
  void Event(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(text);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }
  // How many lines contain `part`.
  int Count(std::string_view part) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& l) {
      return l.find(part) != std::string::npos;
    }));
  }
  bool Has(std::string_view part) const { return Count(part) > 0; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace tillgate
