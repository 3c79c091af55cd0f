#include "platform/posix/process_usage.h"

#include <sys/resource.h>

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
