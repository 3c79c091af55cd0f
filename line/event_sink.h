#pragma once
// Where the engine, the store and decoding report notable events (a port
// opened or failed, a register identified, a document closed, a report handed
// over). The headless server prints them; tests collect them.

#include <string_view>

namespace tillgate {

class EventSink {
 public:
  virtual ~EventSink() = default;
  // One event as one readable line, without a trailing newline. May be called
  // on the engine thread; implementations must be thread-safe.
  virtual void Event(std::string_view text) = 0;
};

// Reports through `sink` when it is set; components hold a nullable pointer.
inline void Report(EventSink* sink, std::string_view text) {
  if (sink) sink->Event(text);
}

}  // namespace tillgate
