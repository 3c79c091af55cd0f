#pragma once
// This system's services, from the implementation the build chose
// (platform/posix/ or platform/win32/). Only the programs' entry points and
// tests call these; everything below them is handed the objects it uses.
// The other services have their factories beside their interfaces:
// locations.h, service_host.h, control_requests.h, local_time.h.

#include <memory>
#include <string>

#include "platform/file_layer.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/platform_services.h"
#include "platform/serial_device.h"
#include "platform/status.h"

namespace tillgate {

// The process-wide file system; never deleted.
FileSystem& SystemFileSystem();
// The settings file's reading and replacing (temporary file, sync, replacing
// rename, sync of the folder).
std::unique_ptr<FileLayer> NewSystemFileLayer();
// A serial device of this system, holding no device yet.
std::unique_ptr<SerialDevice> NewSystemSerialDevice();
// What can be told of the serial device `path` without opening it (--check
// beside a running server). *present says whether the name could be looked
// up at all; when not, the result says why. Otherwise ok when it is a
// serial device this process may read and write, kNotSupported when it is
// something else, and why not (kDenied ...) when this process may not use it.
Status SerialDeviceAccess(const std::string& path, bool* present);
// Change notification on folders (inotify, ReadDirectoryChangesW). Never
// null: where notification cannot be had, Add fails and Wait still ends on
// Wake and on its time-out.
std::unique_ptr<FolderWatch> NewSystemFolderWatch();
// The id of this process.
long ProcessId();
// Standard output and error carry UTF-8 text (event lines, --check's
// report): a console that reads them in a code page of its own (Windows)
// is told so. Nothing to do elsewhere.
void UseUtf8ForConsoleText();
// All of the above, as the server's parts take them.
PlatformServices SystemServices();

}  // namespace tillgate
