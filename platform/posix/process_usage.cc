#include "platform/posix/process_usage.h"

#include <sys/resource.h>

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

}  // namespace tillgate::testing
