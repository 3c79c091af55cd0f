// POSIX files: pread/pwrite on descriptors, advisory open-file-description
// locks for the sharing intent, O_DSYNC for the report file, fdatasync for
// the journal.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "config/file_layer.h"
#include "store/file_system.h"

namespace tillgate {
namespace {

FsStatus LastError() { return StatusFromErrno(errno); }

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Close(); }

  FsStatus ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return FsStatus::kError;
    while (*got < n) {
      const ssize_t r = pread(fd_, buf + *got, n - *got, static_cast<off_t>(offset + *got));
      if (r < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      if (r == 0) break;
      *got += static_cast<size_t>(r);
    }
    return FsStatus::kOk;
  }

  FsStatus WriteAt(uint64_t offset, const char* buf, size_t n) override {
    if (fd_ < 0) return FsStatus::kError;
    size_t done = 0;
    while (done < n) {
      const ssize_t w = pwrite(fd_, buf + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return done == 0 ? LastError() : FsStatus::kShortTransfer;
      }
      if (w == 0) return FsStatus::kShortTransfer;
      done += static_cast<size_t>(w);
    }
    return FsStatus::kOk;
  }

  FsStatus Size(uint64_t* size) override {
    struct stat st;
    if (fd_ < 0) return FsStatus::kError;
    if (fstat(fd_, &st) != 0) return LastError();
    *size = static_cast<uint64_t>(st.st_size);
    return FsStatus::kOk;
  }

  FsStatus Sync() override {
    if (fd_ < 0) return FsStatus::kError;
    while (fdatasync(fd_) != 0) {
      if (errno != EINTR) return LastError();
    }
    return FsStatus::kOk;
  }

  FsStatus Truncate(uint64_t size) override {
    if (fd_ < 0) return FsStatus::kError;
    while (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return LastError();
    }
    return FsStatus::kOk;
  }

  FsStatus Identity(FileIdentity* identity) override {
    struct stat st;
    if (fd_ < 0) return FsStatus::kError;
    if (fstat(fd_, &st) != 0) return LastError();
    *identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return FsStatus::kOk;
  }

  FsStatus Close() override {
    if (fd_ < 0) return FsStatus::kOk;
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports an error.
    return close(fd) == 0 ? FsStatus::kOk : LastError();
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
FsStatus Lock(int fd, OpenMode mode) {
  struct flock lock = {};
  lock.l_type = LockType(mode);
  lock.l_whence = SEEK_SET;
  lock.l_pid = 0;  // required for open-file-description locks
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return FsStatus::kOk;
  const int err = errno;
  return (err == EACCES || err == EAGAIN) ? FsStatus::kLocked : StatusFromErrno(err);
}

FsStatus OpenWith(const std::string& path, int flags, OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  const FsStatus locked = Lock(fd, mode);
  if (locked != FsStatus::kOk) {
    close(fd);
    return locked;
  }
  *file = std::make_unique<PosixFile>(fd);
  return FsStatus::kOk;
}

class PosixFileSystemImpl final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }

  FsStatus Identity(const std::string& path, FileIdentity* identity) override {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return LastError();
    *identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return FsStatus::kOk;
  }

  FsStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return OpenWith(path, OpenFlags(mode), mode, file);
  }

  FsStatus Create(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    int flags = OpenFlags(mode) | O_CREAT | O_EXCL;
    if ((flags & O_ACCMODE) == O_RDONLY) flags = (flags & ~O_ACCMODE) | O_RDWR;
    return OpenWith(path, flags, mode, file);
  }

  FsStatus Unlink(const std::string& path) override {
    return unlink(path.c_str()) == 0 ? FsStatus::kOk : LastError();
  }

  FsStatus Rename(const std::string& from, const std::string& to) override {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
      return FsStatus::kOk;
    if (errno != EINVAL && errno != ENOSYS) return LastError();
    // File systems without no-replace renames: a hard link fails on a taken
    // name just the same.
    if (link(from.c_str(), to.c_str()) != 0) return LastError();
    return unlink(from.c_str()) == 0 ? FsStatus::kOk : LastError();
  }

  FsStatus RenameReplacing(const std::string& from, const std::string& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? FsStatus::kOk : LastError();
  }

  FsStatus SyncFolder(const std::string& folder) override {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    const FsStatus synced = fsync(fd) == 0 ? FsStatus::kOk : LastError();
    close(fd);
    return synced;
  }

  FsStatus MakeFolders(const std::string& folder) override {
    return StatusFromErrno(tillgate::MakeFolders(folder));
  }
};

}  // namespace

FileSystem* PosixFileSystem() {
  static PosixFileSystemImpl* instance = new PosixFileSystemImpl;
  return instance;
}

}  // namespace tillgate
