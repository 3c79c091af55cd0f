// This process as the system knows it.

#include <windows.h>

#include "platform/platform.h"

namespace tillgate {

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

// Without a console (output redirected, a service) there is nothing to tell.
void UseUtf8ForConsoleText() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

}  // namespace tillgate
