#include "platform/win32/win32_status.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_text.h"

#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace tillgate {

Status::Code Win32ErrorKind(uint32_t error) {
  switch (error) {
    case ERROR_SUCCESS:
      return Status::kOk;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
      return Status::kNotFound;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
      return Status::kExists;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
    case ERROR_PIPE_BUSY:
      return Status::kBusy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_QUOTA_EXCEEDED:
      return Status::kNoSpace;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_NETWORK_ACCESS_DENIED:
      return Status::kDenied;
    case ERROR_INVALID_HANDLE:
      return Status::kNotOpen;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return Status::kNotSupported;
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
      return Status::kHangUp;
    case ERROR_DIRECTORY:
      return Status::kNotAFolder;
    default:
      return Status::kError;
  }
}

std::string Win32ErrorText(uint32_t error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length > 0 && buffer != nullptr) text.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) return "error " + std::to_string(error);
  return Utf8FromWide(text);
}

Status StatusFromWin32(uint32_t error) {
  const Status::Code code = Win32ErrorKind(error);
  if (code == Status::kOk) return Status::Ok();
  return Status(code, Win32ErrorText(error), static_cast<int>(error));
}

Status StatusFromWin32(uint32_t error, const char* operation) {
  Status status = StatusFromWin32(error);
  if (!status.ok() && operation != nullptr) status.Within(operation);
  return status;
}

Status LastWin32Error(const char* operation) {
  DWORD error = GetLastError();
  // A call that failed without saying why is still a failure.
  if (error == ERROR_SUCCESS) error = ERROR_GEN_FAILURE;
  return StatusFromWin32(error, operation);
}

}  // namespace tillgate
