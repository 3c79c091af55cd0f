#pragma once
// Event lines into a log file, as the Windows service keeps them (a service
// has no standard error anyone reads): each line stamped with the local
// time and its level, the file kept to a size with one old copy beside it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "config/event_sink.h"
#include "line/rotating_file.h"
#include "line/trace_file.h"

namespace tillgate {

// The service's log in the state folder, and its size limit: 8 MiB, then
// it becomes tillgate.log.1 (replacing the one before) and a new one begins.
inline constexpr char kServiceLogName[] = "tillgate.log";
inline constexpr uint64_t kServiceLogLimit = 8ull << 20;

class LogFileSink final : public EventSink {
 public:
  LogFileSink(std::unique_ptr<TraceFile> file, uint64_t limit);
  void Event(const EventLine& line) override;

 private:
  std::mutex mutex_;
  RotatingFile file_;
  // A failing log is told in the next line that can be written, once.
  bool failed_ = false;
};

}  // namespace tillgate
