#include "platform/platform.h"

namespace tillgate {

PlatformServices SystemServices() {
  return PlatformServices{
      SystemFileSystem(),
      [](int /*port_index*/) { return NewSystemSerialDevice(); },
      [] { return NewSystemFolderWatch(); },
      ProcessId(),
  };
}

}  // namespace tillgate
