#pragma once
// A line's protocol trace: one text line per chunk of bytes sent or
// received, appended to the port's trace file ("COM3.trace"):
//
//   14:02:07.513 > 12 poll byte for register 2
//   14:02:07.521 < 02 30 03 05 66 95 message "f" seq 0x05 from register 2; accepted
//
// local time to the millisecond, ">" sent or "<" received, the bytes in hex,
// then what they are. At 8 MiB the file is moved aside to "COM3.trace.1"
// (replacing the one before) and a new one begun. A file that cannot be
// written never stops the line: the failure is reported once, the lines are
// lost until writing works again, which is reported too.
//
// Used by its line's thread only.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "config/event_sink.h"
#include "line/rotating_file.h"
#include "line/trace_file.h"

namespace tillgate {

inline constexpr uint64_t kTraceFileLimit = 8u << 20;

class ProtocolTrace {
 public:
  // `port_name` ("COM3") names the trace in event lines.
  ProtocolTrace(std::string port_name, std::unique_ptr<TraceFile> file, EventSink* events,
                uint64_t limit = kTraceFileLimit);

  void Sent(const uint8_t* bytes, size_t count, std::string_view what);
  void Received(const uint8_t* bytes, size_t count, std::string_view what);

  // One line of the trace, newline included.
  static std::string FormatLine(std::chrono::system_clock::time_point when, char direction,
                                const uint8_t* bytes, size_t count, std::string_view what);

 private:
  void Write(const std::string& line);
  void Failed(const Status& status);

  std::string port_name_;
  RotatingFile file_;
  EventSink* events_;
  bool failing_ = false;
};

}  // namespace tillgate
