#pragma once
// The one place where a Windows error code becomes a Status: its kind, the
// code kept, and the system's own text for it (FormatMessageW, as UTF-8).

#include <cstdint>

#include "platform/status.h"

namespace tillgate {

// The kind of failure a Windows error code stands for: FILE/PATH_NOT_FOUND
// not found, ALREADY_EXISTS/FILE_EXISTS exists, SHARING/LOCK_VIOLATION busy,
// DISK_FULL/HANDLE_DISK_FULL no space, ACCESS_DENIED denied ...; 0 is ok.
Status::Code Win32ErrorKind(uint32_t error);
// The system's text for `error`, without its line end; "error N" when the
// system has none.
std::string Win32ErrorText(uint32_t error);

Status StatusFromWin32(uint32_t error);
// The same, said as the failure of `operation` ("open: Access denied.").
Status StatusFromWin32(uint32_t error, const char* operation);
// GetLastError() of the call that just failed, as above.
Status LastWin32Error(const char* operation = nullptr);

}  // namespace tillgate
