// This process as the system knows it.

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/arguments.h"
#include "platform/platform.h"
#include "platform/win32/win32_text.h"

namespace tillgate {

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

// Without a console (output redirected, a service) there is nothing to tell.
void UseUtf8ForConsoleText() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

// main's own when the command line cannot be split (it always can).
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace tillgate
