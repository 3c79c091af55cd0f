// POSIX files: pread/pwrite on descriptors, advisory open-file-description
// locks for the sharing intent, O_DSYNC for the report file, fdatasync for
// the journal, O_APPEND for traces (Linux's pwrite then writes at the end,
// whatever the offset).

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_layer.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/posix/posix_file_layer.h"
#include "platform/posix/posix_status.h"

namespace tillgate {
namespace {

Status LastError() { return StatusFromErrno(errno); }

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Close(); }

  Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return Status::kError;
    while (*got < n) {
      const ssize_t r = pread(fd_, buf + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      if (r == 0) break;
      *got += static_cast<size_t>(r);
    }
    return Status::kOk;
  }

  Status WriteAt(uint64_t offset, const char* buf, size_t n) override {
    if (fd_ < 0) return Status::kError;
    size_t done = 0;
    while (done < n) {
      const ssize_t w = pwrite(fd_, buf + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return done == 0 ? LastError() : Status::kShortTransfer;
      }
      if (w == 0) return Status::kShortTransfer;
      done += static_cast<size_t>(w);
    }
    return Status::kOk;
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (fd_ < 0) return Status::kError;
    if (fstat(fd_, &st) != 0) return LastError();
    *size = static_cast<uint64_t>(st.st_size);
    return Status::kOk;
  }

  Status Sync() override {
    if (fd_ < 0) return Status::kError;
    while (fdatasync(fd_) != 0) {
      if (errno != EINTR) return LastError();
    }
    return Status::kOk;
  }

  Status Truncate(uint64_t size) override {
    if (fd_ < 0) return Status::kError;
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return LastError();
    }
    return Status::kOk;
  }

  Status Identity(FileIdentity* identity) override {
    struct stat st;
    if (fd_ < 0) return Status::kError;
    if (fstat(fd_, &st) != 0) return LastError();
    *identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return Status::kOk;
  }

  Status Stat(FileStat* stat) override {
    struct stat st;
    if (fd_ < 0) return Status::kError;
    if (fstat(fd_, &st) != 0) return LastError();
    stat->identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    stat->size = static_cast<uint64_t>(st.st_size);
    stat->modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return Status::kOk;
  }

  Status Close() override {
    if (fd_ < 0) return Status::kOk;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error.
    return close(fd) == 0 ? Status::kOk : LastError();
  }

 private:
  int fd_;
};

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kReadWriteOthersRead:
      return O_RDWR;
    case OpenMode::kReadOnlyExclusive:
      return O_RDONLY;
    case OpenMode::kReadWriteExclusiveSync:
      return O_RDWR | O_DSYNC;
    case OpenMode::kReadWriteExclusive:
      return O_RDWR;
    case OpenMode::kReadOnlyUnlocked:
      return O_RDONLY;
    case OpenMode::kAppendUnlocked:
      return O_WRONLY | O_APPEND;
  }
  return O_RDONLY;
}

// Others may read the goods file: a shared lock lets their read locks in and
// keeps their write locks out. A read-only descriptor cannot take a write
// lock, so the candidate's shared lock keeps writers out while it is
// examined. The report file and the journal take the exclusive lock.
short LockType(OpenMode mode) {
  return mode == OpenMode::kReadWriteExclusiveSync || mode == OpenMode::kReadWriteExclusive
             ? F_WRLCK
             : F_RDLCK;
}

// Open-file-description locks belong to the descriptor that took them: a
// process lock would be dropped as soon as any other descriptor of the same
// file closed, anywhere in the process.
Status Lock(int fd, OpenMode mode) {
  struct flock lock = {};
  lock.l_type = LockType(mode);
  lock.l_whence = SEEK_SET;
  lock.l_pid = 0;  // required for open-file-description locks
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return Status::kOk;
  const int err = errno;
  return (err == EACCES || err == EAGAIN) ? Status::kBusy : StatusFromErrno(err);
}

mode_t CreationMode(Readers readers) { return readers == Readers::kOwner ? 0600 : 0644; }

// `created` is the mode of a file that O_CREAT makes; ignored otherwise.
Status OpenWith(const std::string& path, int flags, OpenMode mode, mode_t created,
                std::unique_ptr<File>* file) {
  file->reset();
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, created);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  const bool unlocked = mode == OpenMode::kReadOnlyUnlocked || mode == OpenMode::kAppendUnlocked;
  const Status locked = unlocked ? Status::Ok() : Lock(fd, mode);
  if (locked != Status::kOk) {
    close(fd);
    return locked;
  }
  *file = std::make_unique<PosixFile>(fd);
  return Status::kOk;
}

class PosixFileSystemImpl final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }

  Status Identity(const std::string& path, FileIdentity* identity) override {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return LastError();
    *identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return Status::kOk;
  }

  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return OpenWith(path, OpenFlags(mode), mode, 0, file);
  }

  Status Create(const std::string& path, OpenMode mode, Readers readers,
                std::unique_ptr<File>* file) override {
    int flags = OpenFlags(mode) | O_CREAT | O_EXCL;
    if ((flags & O_ACCMODE) == O_RDONLY) flags = (flags & ~O_ACCMODE) | O_RDWR;
    return OpenWith(path, flags, mode, CreationMode(readers), file);
  }

  Status Unlink(const std::string& path) override {
    return unlink(path.c_str()) == 0 ? Status::kOk : LastError();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
      return Status::kOk;
    if (errno != EINVAL && errno != ENOSYS) return LastError();
    // File systems without no-replace renames: a hard link fails on a taken
    // name just the same.
    if (link(from.c_str(), to.c_str()) != 0) return LastError();
    return unlink(from.c_str()) == 0 ? Status::kOk : LastError();
  }

  Status RenameReplacing(const std::string& from, const std::string& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? Status::kOk : LastError();
  }

  Status SyncFolder(const std::string& folder) override {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    const Status synced = fsync(fd) == 0 ? Status::kOk : LastError();
    close(fd);
    return synced;
  }

  Status MakeFolders(const std::string& folder) override {
    return StatusFromErrno(tillgate::MakeFolders(folder));
  }

  Status FolderAccess(const std::string& folder) override {
    struct stat info {};
    const bool found = stat(folder.c_str(), &info) == 0;
    if ((found && !S_ISDIR(info.st_mode)) || (!found && errno == ENOTDIR))
      return Status(Status::kNotAFolder, std::strerror(ENOTDIR), ENOTDIR);
    if (!found) return LastError();
    if (access(folder.c_str(), W_OK | X_OK) != 0) return LastError();
    return Status::Ok();
  }

  Status LockHeld(const std::string& path, bool* held) override {
    *held = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    const int asked = fcntl(fd, F_OFD_GETLK, &lock);
    const int err = errno;
    close(fd);
    if (asked != 0) return StatusFromErrno(err);
    *held = lock.l_type != F_UNLCK;
    return Status::Ok();
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystemImpl* instance = new PosixFileSystemImpl;
  return *instance;
}

}  // namespace tillgate
