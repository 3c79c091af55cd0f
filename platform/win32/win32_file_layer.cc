// The settings file's layer on Windows: read whole; replaced whole through
// a temporary file beside it, flushed, then moved into place.

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/file_layer.h"
#include "platform/platform.h"
#include "platform/win32/win32_file_steps.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

Status Failure(const std::string& path, const Status& why) {
  return Status::Error(path + ": " + why.Reason());
}

Status Failure(const std::string& path, DWORD error) {
  return Failure(path, StatusFromWin32(error));
}

std::string ParentFolder(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return ".";
  if (cut == 0 || (cut == 2 && path[1] == ':')) return path.substr(0, cut + 1);
  return path.substr(0, cut);
}

// A name beside `path` that no other writer picks at the same moment.
std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp." + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(counter.fetch_add(1));
}

Status WriteAll(HANDLE handle, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, contents.data() + done, chunk, &written, nullptr))
      return LastWin32Error();
    if (written == 0) return Status::kShortTransfer;
    done += written;
  }
  return Status::Ok();
}

Status WriteTemporary(const std::wstring& temp, const std::string& contents) {
  HANDLE handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastWin32Error();
  Status status = WriteAll(handle, contents);
  if (status.ok() && !FlushFileBuffers(handle)) status = LastWin32Error();
  if (!CloseHandle(handle) && status.ok()) status = LastWin32Error();
  return status;
}

class Win32FileLayer final : public FileLayer {
 public:
  Status ReadWholeFile(const std::string& path, std::string* contents, bool* exists) override {
    contents->clear();
    *exists = false;
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return Status::Error(path + ": the name is not valid UTF-8");
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // Missing, or its folder is (as a file that was never saved); a file
      // in the way of its folder is no such case.
      if (error == ERROR_FILE_NOT_FOUND) return Status::Ok();
      if (error == ERROR_PATH_NOT_FOUND && !FileOnTheWay(wide)) return Status::Ok();
      if (error == ERROR_PATH_NOT_FOUND) return Failure(path, ERROR_DIRECTORY);
      return Failure(path, error);
    }
    *exists = true;
    char buffer[8192];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return Failure(path, error);
      }
      if (got == 0) break;
      contents->append(buffer, got);
    }
    CloseHandle(handle);
    return Status::Ok();
  }

  Status ReplaceFile(const std::string& path, const std::string& contents) override {
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return Status::Error(path + ": the name is not valid UTF-8");
    // The move below would replace a file made read-only: refused, as a
    // locked registry key is.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      return Failure(path, ERROR_ACCESS_DENIED);
    const std::string folder = ParentFolder(path);
    Status made = MakeFolderTree(WideFromUtf8(folder));
    if (!made.ok()) return Failure(folder, made);
    const std::string temp = TemporaryName(path);
    const std::wstring wide_temp = WideFromUtf8(temp);
    Status written = WriteTemporary(wide_temp, contents);
    if (!written.ok()) {
      DeleteFileW(wide_temp.c_str());
      return Failure(temp, written);
    }
    Status moved = MoveReplacing(wide_temp, wide);
    if (!moved.ok()) {
      DeleteFileW(wide_temp.c_str());
      return Failure(path, moved);
    }
    return Status::Ok();
  }
};

}  // namespace

std::unique_ptr<FileLayer> NewSystemFileLayer() { return std::make_unique<Win32FileLayer>(); }

}  // namespace tillgate
