// Windows files: wide-character paths, the sharing intent as share modes
// (enforced by the system for every program) plus LockFileEx where other
// systems take their locks, positioned ReadFile/WriteFile on synchronous
// handles, FILE_FLAG_WRITE_THROUGH for the report file and FlushFileBuffers
// for the journal.

#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/win32/win32_file_steps.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A chunk every ReadFile/WriteFile count can hold.
constexpr size_t kMaxChunk = 1u << 30;

Status InvalidName() {
  return Status(Status::kNotFound, "the name is not valid UTF-8", ERROR_INVALID_NAME);
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// The whole file, however long it grows.
constexpr DWORD kWholeLow = MAXDWORD;
constexpr DWORD kWholeHigh = MAXDWORD;

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, bool locked, bool appending)
      : handle_(handle), locked_(locked), appending_(appending) {}
  ~Win32File() override { Close(); }

  Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    while (*got < n) {
      OVERLAPPED at = At(offset + *got);
      DWORD read = 0;
      const DWORD asked = static_cast<DWORD>(std::min(n - *got, kMaxChunk));
      if (!ReadFile(handle_, buf + *got, asked, &read, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;  // at or past the end
        return LastWin32Error("read");
      }
      if (read == 0) break;
      *got += read;
    }
    return Status::kOk;
  }

  Status WriteAt(uint64_t offset, const char* buf, size_t n) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    size_t done = 0;
    while (done < n) {
      // Both offset words all ones: at the end of the file, whatever the
      // offset and whoever else appended meanwhile.
      OVERLAPPED at = appending_ ? At(UINT64_MAX) : At(offset + done);
      DWORD written = 0;
      const DWORD asked = static_cast<DWORD>(std::min(n - done, kMaxChunk));
      if (!WriteFile(handle_, buf + done, asked, &written, &at))
        return done == 0 ? LastWin32Error("write") : Status::kShortTransfer;
      if (written == 0) return Status::kShortTransfer;
      done += written;
    }
    return Status::kOk;
  }

  Status Size(uint64_t* size) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle_, &value)) return LastWin32Error("size");
    *size = static_cast<uint64_t>(value.QuadPart);
    return Status::kOk;
  }

  Status Sync() override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    if (!FlushFileBuffers(handle_)) return LastWin32Error("sync");
    return Status::kOk;
  }

  Status Truncate(uint64_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(handle_, FileEndOfFileInfo, &end, sizeof end))
      return LastWin32Error("truncate");
    return Status::kOk;
  }

  Status Identity(FileIdentity* identity) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_, &info)) return LastWin32Error("identity");
    *identity = IdentityOf(info);
    return Status::kOk;
  }

  Status Stat(FileStat* stat) override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kNotOpen;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle_, &info)) return LastWin32Error("stat");
    stat->identity = IdentityOf(info);
    stat->size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    // 100 ns ticks since 1601; the epoch does not matter for a comparison.
    const uint64_t ticks = static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                           info.ftLastWriteTime.dwLowDateTime;
    stat->modified_ns = static_cast<int64_t>(ticks) * 100;
    return Status::kOk;
  }

  // The lock is given back before the handle: Windows releases the locks
  // of a closed handle only when it gets round to it.
  Status Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::kOk;
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (locked_) {
      OVERLAPPED whole{};
      UnlockFileEx(handle, 0, kWholeLow, kWholeHigh, &whole);
    }
    if (!CloseHandle(handle)) return LastWin32Error("close");
    return Status::kOk;
  }

 private:
  HANDLE handle_;
  bool locked_;
  bool appending_;
};

// How each kind of file is opened and shared:
// - the goods file: read and written by us, others may read it but not
//   write it; deletion is shared so that a new goods file can take its
//   place while it is open. No byte-range lock: a shared one would forbid
//   our own writes of the stock.
// - the goods candidate: read only, nobody writes meanwhile (a program
//   still writing it makes the open fail); a shared lock on top.
// - the report file: ours alone, written through to the disk, locked.
// - the journal (and our other files that replace one another): ours
//   alone but for deletion, so that the new journal can be moved into
//   place while open; locked.
// - a look that changes nothing: read only, everything shared, no lock.
// - a protocol trace: appended to only (FILE_APPEND_DATA without
//   FILE_WRITE_DATA, so that the system itself keeps every write at the
//   end), everything shared, no lock.
struct Access {
  DWORD desired;
  DWORD share;
  DWORD flags;
  DWORD lock;  // LockFileEx flags; kNoLock for none
};
constexpr DWORD kNoLock = MAXDWORD;

Access AccessFor(OpenMode mode) {
  switch (mode) {
    case OpenMode::kReadWriteOthersRead:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, 0, kNoLock};
    case OpenMode::kReadOnlyExclusive:
      return {GENERIC_READ, FILE_SHARE_READ, 0, 0};
    case OpenMode::kReadWriteExclusiveSync:
      return {GENERIC_READ | GENERIC_WRITE, 0, FILE_FLAG_WRITE_THROUGH, LOCKFILE_EXCLUSIVE_LOCK};
    case OpenMode::kReadWriteExclusive:
      return {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, 0, LOCKFILE_EXCLUSIVE_LOCK};
    case OpenMode::kReadOnlyUnlocked:
      return {GENERIC_READ, kShareAll, 0, kNoLock};
    case OpenMode::kAppendUnlocked:
      // Append access alone: the system keeps every write at the end.
      return {FILE_APPEND_DATA | SYNCHRONIZE | FILE_READ_ATTRIBUTES, kShareAll, 0, kNoLock};
  }
  return {GENERIC_READ, kShareAll, 0, kNoLock};
}

// Another program's open that conflicts with ours, or its byte-range lock.
Status Conflict(DWORD error) {
  return Status(Status::kBusy, Win32ErrorText(error), static_cast<int>(error));
}

// `security` is that of a file made new (null: the folder's, inherited).
Status OpenWith(const std::string& path, OpenMode mode, DWORD disposition,
                SECURITY_ATTRIBUTES* security, std::unique_ptr<File>* file) {
  file->reset();
  std::wstring wide;
  if (!WideFromUtf8(path, &wide)) return InvalidName();
  Access access = AccessFor(mode);
  // A file made new is written first, whatever it is opened for later; an
  // appending one is only ever appended to.
  if (disposition == CREATE_NEW && mode != OpenMode::kAppendUnlocked)
    access.desired |= GENERIC_WRITE;
  HANDLE handle = CreateFileW(wide.c_str(), access.desired, access.share, security, disposition,
                              FILE_ATTRIBUTE_NORMAL | access.flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return Conflict(error);
    return StatusFromWin32(error);
  }
  if (access.lock != kNoLock) {
    OVERLAPPED whole{};
    if (!LockFileEx(handle, access.lock | LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeLow, kWholeHigh,
                    &whole)) {
      const DWORD error = GetLastError();
      CloseHandle(handle);
      if (disposition == CREATE_NEW) DeleteFileW(wide.c_str());
      return error == ERROR_LOCK_VIOLATION ? Conflict(error) : StatusFromWin32(error);
    }
  }
  *file = std::make_unique<Win32File>(handle, access.lock != kNoLock,
                                      mode == OpenMode::kAppendUnlocked);
  return Status::kOk;
}

Status NotAFolder() {
  return Status(Status::kNotAFolder, Win32ErrorText(ERROR_DIRECTORY), ERROR_DIRECTORY);
}

// A handle that reads nothing but the file's information, sharing
// everything so that it never stands in anyone's way.
HANDLE OpenForInformation(const std::wstring& path) {
  return CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

class Win32FileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return false;
    return GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  Status Identity(const std::string& path, FileIdentity* identity) override {
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return InvalidName();
    HANDLE handle = OpenForInformation(wide);
    if (handle == INVALID_HANDLE_VALUE) return LastWin32Error();
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    const Status status = known ? Status::Ok() : LastWin32Error();
    CloseHandle(handle);
    if (known) *identity = IdentityOf(info);
    return status;
  }

  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return OpenWith(path, mode, OPEN_EXISTING, nullptr, file);
  }

  // The shop's files take the shop folder's permissions; our own are the
  // account's alone, wherever the state folder is.
  Status Create(const std::string& path, OpenMode mode, Readers readers,
                std::unique_ptr<File>* file) override {
    if (readers == Readers::kEveryone) return OpenWith(path, mode, CREATE_NEW, nullptr, file);
    OwnerOnlySecurity security;
    return OpenWith(path, mode, CREATE_NEW, security.get(), file);
  }

  Status Unlink(const std::string& path) override {
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return InvalidName();
    return DeleteFileW(wide.c_str()) ? Status::kOk : LastWin32Error();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    std::wstring wide_from, wide_to;
    if (!WideFromUtf8(from, &wide_from) || !WideFromUtf8(to, &wide_to)) return InvalidName();
    if (MoveFileExW(wide_from.c_str(), wide_to.c_str(), MOVEFILE_WRITE_THROUGH)) return Status::kOk;
    return LastWin32Error();
  }

  Status RenameReplacing(const std::string& from, const std::string& to) override {
    std::wstring wide_from, wide_to;
    if (!WideFromUtf8(from, &wide_from) || !WideFromUtf8(to, &wide_to)) return InvalidName();
    return MoveReplacing(wide_from, wide_to);
  }

  // A folder's entries reach the disk with its handle flushed, which needs
  // write access to the folder.
  Status SyncFolder(const std::string& folder) override {
    std::wstring wide;
    if (!WideFromUtf8(folder, &wide)) return InvalidName();
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastWin32Error();
    const Status synced = FlushFileBuffers(handle) ? Status::Ok() : LastWin32Error();
    CloseHandle(handle);
    return synced;
  }

  Status MakeFolders(const std::string& folder) override {
    std::wstring wide;
    if (!WideFromUtf8(folder, &wide)) return InvalidName();
    return MakeFolderTree(wide);
  }

  // Asked of the system without making anything there: a folder opened for
  // traversal and for adding files passes the same access check as a file
  // created in it (a probe file would wake every watcher of the folder).
  Status FolderAccess(const std::string& folder) override {
    std::wstring wide;
    if (!WideFromUtf8(folder, &wide)) return InvalidName();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error == ERROR_PATH_NOT_FOUND && FileOnTheWay(wide)) return NotAFolder();
      return StatusFromWin32(error);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return NotAFolder();
    HANDLE handle = CreateFileW(wide.c_str(), FILE_TRAVERSE | FILE_ADD_FILE, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastWin32Error();
    CloseHandle(handle);
    return Status::Ok();
  }

  // Held when another program's open keeps ours out (the journal is shared
  // with nobody) or its byte-range lock refuses ours.
  Status LockHeld(const std::string& path, bool* held) override {
    *held = false;
    std::wstring wide;
    if (!WideFromUtf8(path, &wide)) return InvalidName();
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error != ERROR_SHARING_VIOLATION) return StatusFromWin32(error);
      *held = true;
      return Status::Ok();
    }
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_FAIL_IMMEDIATELY, 0, kWholeLow, kWholeHigh, &whole)) {
      UnlockFileEx(handle, 0, kWholeLow, kWholeHigh, &whole);
    } else {
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION) {
        CloseHandle(handle);
        return StatusFromWin32(error);
      }
      *held = true;
    }
    CloseHandle(handle);
    return Status::Ok();
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem* instance = new Win32FileSystem;
  return *instance;
}

}  // namespace tillgate
