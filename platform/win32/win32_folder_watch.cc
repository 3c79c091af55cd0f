// FolderWatch over ReadDirectoryChangesW: one overlapped request per folder,
// always re-issued, and an event for wake-ups, all waited on together so
// that the caller sleeps in the system until any of them speaks.

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/folder_watch.h"
#include "platform/platform.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

constexpr DWORD kWatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

// One watched folder with its request in flight. The buffer and the
// OVERLAPPED belong to the system until the request completes.
struct WatchedFolder {
  HANDLE folder = INVALID_HANDLE_VALUE;
  HANDLE done = nullptr;
  OVERLAPPED overlapped{};
  bool pending = false;
  alignas(DWORD) unsigned char changes[4096];

  ~WatchedFolder() {
    if (pending) {
      CancelIoEx(folder, &overlapped);
      DWORD ignored = 0;
      GetOverlappedResult(folder, &overlapped, &ignored, TRUE);  // the buffer is ours again
    }
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    if (done != nullptr) CloseHandle(done);
  }

  Status Issue() {
    ResetEvent(done);
    overlapped = OVERLAPPED{};
    overlapped.hEvent = done;
    pending = ReadDirectoryChangesW(folder, changes, sizeof changes, FALSE, kWatchedChanges,
                                    nullptr, &overlapped, nullptr);
    return pending ? Status::Ok() : LastWin32Error("ReadDirectoryChangesW");
  }

  // True when the request completed (a change, or the system's word that
  // there were too many to list); it is issued again at once. A folder
  // whose request fails is no longer watched: the caller's time-out serves.
  bool Collect() {
    if (!pending) return false;
    DWORD bytes = 0;
    if (!GetOverlappedResult(folder, &overlapped, &bytes, FALSE) &&
        GetLastError() == ERROR_IO_INCOMPLETE)
      return false;
    pending = false;
    (void)Issue();
    return true;
  }
};

class Win32FolderWatch final : public FolderWatch {
 public:
  Win32FolderWatch() : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~Win32FolderWatch() override {
    watched_.clear();
    if (wake_ != nullptr) CloseHandle(wake_);
  }

  Status Add(const std::string& folder) override {
    std::wstring wide;
    if (!WideFromUtf8(folder, &wide))
      return Status(Status::kNotFound, "the folder name is not valid UTF-8");
    if (watched_.size() + 1 >= MAXIMUM_WAIT_OBJECTS)
      return Status(Status::kNotSupported, "too many folders watched");
    auto watched = std::make_unique<WatchedFolder>();
    watched->folder = CreateFileW(
        wide.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (watched->folder == INVALID_HANDLE_VALUE) return LastWin32Error();
    watched->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (watched->done == nullptr) return LastWin32Error("CreateEvent");
    Status issued = watched->Issue();
    if (!issued.ok()) return issued;
    watched_.push_back(std::move(watched));
    return Status::Ok();
  }

  bool Wait(std::chrono::milliseconds timeout) override {
    std::vector<HANDLE> handles;
    if (wake_ != nullptr) handles.push_back(wake_);
    for (const auto& watched : watched_)
      if (watched->pending) handles.push_back(watched->done);
    const auto ms = timeout.count();
    const DWORD wait = ms <= 0 ? 0 : ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms);
    DWORD outcome = WAIT_TIMEOUT;
    if (handles.empty()) {
      Sleep(wait);
    } else {
      outcome =
          WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
    }
    if (outcome == WAIT_TIMEOUT) return false;
    if (outcome == WAIT_FAILED) {
      Sleep(wait);  // never a busy loop for the caller
      return false;
    }
    // Everything that has come in is taken in this once.
    if (wake_ != nullptr) WaitForSingleObject(wake_, 0);
    for (const auto& watched : watched_) watched->Collect();
    return true;
  }

  void Wake() override {
    if (wake_ != nullptr) SetEvent(wake_);
  }

 private:
  HANDLE wake_;
  std::vector<std::unique_ptr<WatchedFolder>> watched_;
};

}  // namespace

std::unique_ptr<FolderWatch> NewSystemFolderWatch() { return std::make_unique<Win32FolderWatch>(); }

}  // namespace tillgate
