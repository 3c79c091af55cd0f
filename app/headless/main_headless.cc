// The program's entry when it is built without the window, and the
// `tillgate-headless` program.

#include <cstring>

#include "app/headless/headless.h"
#include "platform/arguments.h"

int main(int argc, char** argv) {
  // As UTF-8 on every system (a Cyrillic file name on Windows).
  tillgate::ProgramArguments arguments(argc, argv);
  argc = arguments.argc();
  argv = arguments.argv();
  // Built as `tillgate` (without the window) it is started with --headless.
  const char* slash = argc > 0 ? std::strrchr(argv[0], '/') : nullptr;
  const char* name = slash ? slash + 1 : (argc > 0 ? argv[0] : "");
  return tillgate::RunHeadless(
      argc, argv, std::strcmp(name, "tillgate") == 0 ? "tillgate --headless" : "tillgate-headless");
}
