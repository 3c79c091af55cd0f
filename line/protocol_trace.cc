#include "line/protocol_trace.h"

#include <cstdio>

#include "platform/local_time.h"

namespace tillgate {

ProtocolTrace::ProtocolTrace(std::string port_name, std::unique_ptr<TraceFile> file,
                             EventSink* events, uint64_t limit)
    : port_name_(std::move(port_name)), file_(std::move(file), limit), events_(events) {}

std::string ProtocolTrace::FormatLine(std::chrono::system_clock::time_point when, char direction,
                                      const uint8_t* bytes, size_t count, std::string_view what) {
  const CivilTime local = LocalTime(when);
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.hour, local.minute, local.second,
                local.millisecond);
  std::string line = stamp;
  line.reserve(line.size() + 3 + 3 * count + what.size() + 2);
  line += ' ';
  line += direction;
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    line += ' ';
    line += kDigits[bytes[i] >> 4];
    line += kDigits[bytes[i] & 0x0F];
  }
  line += ' ';
  line += what;
  line += '\n';
  return line;
}

void ProtocolTrace::Sent(const uint8_t* bytes, size_t count, std::string_view what) {
  Write(FormatLine(std::chrono::system_clock::now(), '>', bytes, count, what));
}

void ProtocolTrace::Received(const uint8_t* bytes, size_t count, std::string_view what) {
  Write(FormatLine(std::chrono::system_clock::now(), '<', bytes, count, what));
}

void ProtocolTrace::Write(const std::string& line) {
  const Status written = file_.Append(line);
  if (!written.ok()) {
    Failed(written);
    return;
  }
  if (failing_) {
    failing_ = false;
    ReportConditionCleared(events_, port_name_ + " trace", port_name_ + " trace: written again");
  }
}

void ProtocolTrace::Failed(const Status& status) {
  if (failing_) return;
  failing_ = true;
  ReportCondition(events_, Severity::kWarning, port_name_ + " trace",
                  port_name_ + " trace: " + status.message() + "; the line goes on untraced");
}

}  // namespace tillgate
