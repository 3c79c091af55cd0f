#include "app/headless/stderr_sink.h"

#include <string>

#include "config/utf16.h"
#include "platform/local_time.h"
#include "platform/service_host.h"

namespace tillgate {

EventLineStyle StandardErrorStyle() {
  return StandardErrorIsServiceLog() ? EventLineStyle::kJournal : EventLineStyle::kStamped;
}

namespace {

// The event text as one printable UTF-8 line: control characters (C0, DEL,
// C1) become spaces, and each byte that is not part of a UTF-8 character
// (a register's bytes, say) is written as \xNN. The journal would keep a
// line with either as binary data that journalctl does not show.
std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    char32_t c = 0;
    if (!NextUtf8(text, &i, &c)) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
      out += escaped;
      i = at + 1;
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      out += ' ';
    } else {
      out.append(text.substr(at, i - at));
    }
  }
  return out;
}

}  // namespace

std::string FormatEventLine(const EventLine& event, EventLineStyle style,
                            std::chrono::system_clock::time_point now) {
  const std::string text = PrintableText(event.text);
  if (style == EventLineStyle::kJournal)
    return "<" + std::to_string(static_cast<int>(event.severity)) + ">" + text + "\n";
  const CivilTime local = LocalTime(now);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.year, local.month,
                local.day, local.hour, local.minute, local.second, local.millisecond);
  return std::string(stamp) + " tillgate: " + SeverityName(event.severity) + ": " + text + "\n";
}

void StderrSink::Event(const EventLine& event) {
  const std::string line = FormatEventLine(event, style_, std::chrono::system_clock::now());
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace tillgate
