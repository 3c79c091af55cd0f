// This process as the system knows it.

#include <unistd.h>

#include "platform/arguments.h"
#include "platform/platform.h"

namespace tillgate {

long ProcessId() { return static_cast<long>(getpid()); }

void UseUtf8ForConsoleText() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace tillgate
