// This process as the system knows it.

#include <unistd.h>

#include "platform/platform.h"

namespace tillgate {

long ProcessId() { return static_cast<long>(getpid()); }

void UseUtf8ForConsoleText() {}

}  // namespace tillgate
