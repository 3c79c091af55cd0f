#pragma once
// Where the server reports notable events (a port opened or failed, a
// register identified, a document closed, a report handed over, a file step
// failing and recovering). The headless server prints them, the window lists
// them, tests collect them. Every layer may report, so this sits at the
// bottom, beside Status.

#include <cstdint>
#include <string_view>

namespace tillgate {

// The syslog priorities of the same names, so that a journal prefix is the
// number itself.
enum class Severity : uint8_t {
  kError = 3,
  kWarning = 4,
  kNotice = 5,
  kInfo = 6,
};

// "error", "warning", "notice" or "info".
inline const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNotice:
      return "notice";
    case Severity::kInfo:
      break;
  }
  return "info";
}

// One event. The views are valid only during the call that carries them.
struct EventLine {
  Severity severity = Severity::kInfo;
  // One readable line, without a trailing newline.
  std::string_view text;
  // The lasting condition this event starts, changes or ends, such as
  // "COM3 port" or "report append"; empty for a one-off event. A reader may
  // show a condition's latest warning or error until an event naming the
  // same condition with `cleared` set ends it.
  std::string_view condition;
  bool cleared = false;
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  // May be called from any thread; implementations must be thread-safe.
  virtual void Event(const EventLine& line) = 0;
};

// The helpers below report through `sink` when it is set; components hold a
// nullable pointer.

// A one-off event.
inline void Report(EventSink* sink, Severity severity, std::string_view text) {
  if (sink) sink->Event(EventLine{severity, text, {}, false});
}
inline void Report(EventSink* sink, std::string_view text) { Report(sink, Severity::kInfo, text); }
// A lasting condition begins or changes.
inline void ReportCondition(EventSink* sink, Severity severity, std::string_view condition,
                            std::string_view text) {
  if (sink) sink->Event(EventLine{severity, text, condition, false});
}
// A lasting condition is over; `text` says what is well again.
inline void ReportConditionCleared(EventSink* sink, std::string_view condition,
                                   std::string_view text, Severity severity = Severity::kNotice) {
  if (sink) sink->Event(EventLine{severity, text, condition, true});
}

}  // namespace tillgate
