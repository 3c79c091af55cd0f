#pragma once
// The system services the server is built over, in one value that a
// program's main fills from this system (SystemServices() in platform.h) and
// a test from its doubles, and that is handed down to whatever needs them.

#include <functional>
#include <memory>

#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/serial_device.h"

namespace tillgate {

struct PlatformServices {
  // Every file the server reads and writes; not owned, outlives the user.
  FileSystem& files;
  // The serial device of port `port_index` (0..15), holding no device yet.
  // Never returns null.
  std::function<std::unique_ptr<SerialDevice>(int port_index)> make_serial_device;
  // Change notification on folders. Never returns null.
  std::function<std::unique_ptr<FolderWatch>()> make_folder_watch;
  // The id of the process serving, as status.json names it.
  long process_id = 0;
};

}  // namespace tillgate
