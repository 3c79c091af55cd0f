#include "app/headless/stderr_sink.h"

#include <time.h>

#include <string>

namespace tillgate {

void StderrSink::Event(const EventLine& event) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  // Control characters from a wire or a file must not break the one-line
  // format.
  std::string line(event.text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(out_, "%s.%03ld tillgate: %s\n", stamp, now.tv_nsec / 1'000'000, line.c_str());
  std::fflush(out_);
}

}  // namespace tillgate
