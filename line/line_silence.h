#pragma once
// A dead line: its port is open and registers are in the rotation, but none
// of them has answered for a while (a cable pulled, an adapter that lost its
// line, every register switched off). Reads that time out are no error, so
// nothing else would say so. Told once under the condition "COMn line", and
// again when a register answers.

#include <chrono>
#include <string>

#include "config/event_sink.h"

namespace tillgate {

// How long a polled line may stay silent before it is told.
inline constexpr std::chrono::seconds kLineSilence{10};

class LineSilence {
 public:
  using Clock = std::chrono::steady_clock;

  // `where` reads like "COM1 (/dev/ttyUSB0)".
  LineSilence(EventSink* events, std::string port_name, std::string where);

  // Counting starts afresh (Start, a port opened again).
  void Restart(Clock::time_point now);
  // A register in the rotation was asked; `answered` says whether it did.
  void Polled(bool answered, Clock::time_point now);

 private:
  EventSink* events_;
  std::string condition_;
  std::string where_;
  Clock::time_point last_answer_{};
  bool told_ = false;
};

}  // namespace tillgate
