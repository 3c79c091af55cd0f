#pragma once
// This system's services, from the implementation the build chose
// (platform/posix/ or platform/win32/). Only the programs' entry points and
// tests call these; everything below them is handed the objects it uses.
// The other services have their factories beside their interfaces:
// locations.h, service_host.h, control_requests.h, local_time.h.

#include <memory>

#include "platform/file_layer.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/serial_device.h"

namespace tillgate {

// The process-wide file system; never deleted.
FileSystem& SystemFileSystem();
// The settings file's reading and replacing (temporary file, sync, replacing
// rename, sync of the folder).
std::unique_ptr<FileLayer> NewSystemFileLayer();
// A serial device of this system, holding no device yet.
std::unique_ptr<SerialDevice> NewSystemSerialDevice();
// Change notification on folders (inotify, ReadDirectoryChangesW). Never
// null: where notification cannot be had, Add fails and Wait still ends on
// Wake and on its time-out.
std::unique_ptr<FolderWatch> NewSystemFolderWatch();

}  // namespace tillgate
