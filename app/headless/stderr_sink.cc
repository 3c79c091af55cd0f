#include "app/headless/stderr_sink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdlib>
#include <string>

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

std::string FormatEventLine(const EventLine& event, EventLineStyle style, const timespec& now) {
  std::string text(event.text);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
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
