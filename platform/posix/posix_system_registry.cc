// POSIX systems have no registry: the settings file stands in for it.

#include "platform/system_registry.h"

namespace tillgate {

std::unique_ptr<RegistryStore> OpenSystemRegistry(RegistryRoot) { return nullptr; }

}  // namespace tillgate
