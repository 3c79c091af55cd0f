#pragma once
// Event lines on standard error, each carrying its level and written whole
// even when several threads report at once. On a terminal or into a file a
// line starts with the local time; when standard error is the journal, the
// journal stamps the time itself and the line starts with its priority
// prefix ("<3>" for an error ... "<6>" for info) instead.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "config/event_sink.h"

namespace tillgate {

enum class EventLineStyle {
  kStamped,  // "2026-12-07 08:25:06.843 tillgate: error: text"
  kJournal,  // "<3>text"
};

// kJournal when standard error is the service manager's log (the journal),
// else kStamped.
EventLineStyle StandardErrorStyle();

// One event as one line, with its line end; a stamped line carries `now` in
// local time. Control characters from a wire or a file become spaces, so
// that they cannot break the one-line format, and bytes that are not UTF-8
// become \xNN, so that the line stays text.
std::string FormatEventLine(const EventLine& event, EventLineStyle style,
                            std::chrono::system_clock::time_point now);

class StderrSink final : public EventSink {
 public:
  StderrSink() : StderrSink(stderr, StandardErrorStyle()) {}
  StderrSink(std::FILE* out, EventLineStyle style) : out_(out), style_(style) {}
  void Event(const EventLine& line) override;

 private:
  std::mutex mutex_;
  std::FILE* out_;
  EventLineStyle style_;
};

}  // namespace tillgate
