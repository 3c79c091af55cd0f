#pragma once
// Event lines on standard error, each stamped with the local time and
// written whole even when several threads report at once.

#include <cstdio>
#include <mutex>

#include "config/event_sink.h"

namespace tillgate {

class StderrSink final : public EventSink {
 public:
  explicit StderrSink(std::FILE* out = stderr) : out_(out) {}
  void Event(const EventLine& line) override;

 private:
  std::mutex mutex_;
  std::FILE* out_;
};

}  // namespace tillgate
