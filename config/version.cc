#include "config/version.h"

#include <cstdio>

#ifndef TILLGATE_VERSION
#error "the build defines TILLGATE_VERSION"
#endif

namespace tillgate {

const char* TillgateVersion() { return TILLGATE_VERSION; }

void PrintVersion() { std::printf("tillgate %s\n", TillgateVersion()); }

}  // namespace tillgate
