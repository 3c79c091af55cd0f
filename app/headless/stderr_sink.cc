#include "app/headless/stderr_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdlib>
#include <string>

#include "config/utf16.h"

namespace tillgate {

bool StreamIsJournal(int fd, const char* journal_stream) {
  if (journal_stream == nullptr) return false;
  uintmax_t device = 0;
  uintmax_t inode = 0;
  char rest = 0;
  if (std::sscanf(journal_stream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2)
    return false;
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  return static_cast<uintmax_t>(info.st_dev) == device &&
         static_cast<uintmax_t>(info.st_ino) == inode;
}

EventLineStyle StandardErrorStyle() {
  return StreamIsJournal(STDERR_FILENO, std::getenv("JOURNAL_STREAM")) ? EventLineStyle::kJournal
                                                                       : EventLineStyle::kStamped;
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

std::string FormatEventLine(const EventLine& event, EventLineStyle style, const timespec& now) {
  const std::string text = PrintableText(event.text);
  if (style == EventLineStyle::kJournal)
    return "<" + std::to_string(static_cast<int>(event.severity)) + ">" + text + "\n";
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char stamp[48];
  const size_t length = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + length, sizeof stamp - length, ".%03ld",
                static_cast<long>(now.tv_nsec / 1'000'000));
  return std::string(stamp) + " tillgate: " + SeverityName(event.severity) + ": " + text + "\n";
}

void StderrSink::Event(const EventLine& event) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::string line = FormatEventLine(event, style_, now);
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace tillgate
