#include "platform/posix/process_usage.h"

#include <sys/resource.h>
#include <time.h>

#include <fstream>
#include <string>

namespace tillgate::testing {

ProcessUsage OwnUsage() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  ProcessUsage usage;
  usage.cpu_seconds = static_cast<double>(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6 +
                      static_cast<double>(u.ru_stime.tv_sec) + u.ru_stime.tv_usec / 1e6;
  usage.context_switches = u.ru_nvcsw + u.ru_nivcsw;
  return usage;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long long AnonymousMemory() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) != 0) continue;
    return std::stoll(line.substr(8)) * 1024;  // "RssAnon:     1234 kB"
  }
  return -1;
}

}  // namespace tillgate::testing
