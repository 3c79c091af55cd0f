#pragma once
// The few file services the store needs, behind an interface so that tests
// can fail chosen operations. Sharing is expressed as intent; the POSIX
// implementation maps it to advisory fcntl locks, which only bind programs
// that take such locks too.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tillgate {

enum class FsStatus : uint8_t {
  kOk,
  kNotFound,       // the path (or a folder on it) does not exist
  kExists,         // create-new or rename found the target already there
  kLocked,         // another program holds a conflicting lock
  kNoSpace,        // disk or quota full
  kDenied,         // permissions
  kShortTransfer,  // a write moved fewer bytes than asked
  kError,          // anything else, including a closed file
};

// Turns an errno value into the result above.
FsStatus StatusFromErrno(int err);

// One open file. Positioned transfers only: there is no shared file position.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `n` bytes at `offset` into `buf`; `*got` receives the count
  // read, which is short only at the end of the file. kOk when the read
  // itself succeeded (a read at or past the end gives kOk with 0).
  virtual FsStatus ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) = 0;
  // Writes all `n` bytes at `offset`. kOk only when every byte was written;
  // kShortTransfer when some were.
  virtual FsStatus WriteAt(uint64_t offset, const char* buf, size_t n) = 0;
  // kOk with the current size in `*size`.
  virtual FsStatus Size(uint64_t* size) = 0;
  // Releases the file and its lock. kOk when the close succeeded; the file
  // is unusable afterwards either way. Destroying an open file closes it.
  virtual FsStatus Close() = 0;
};

enum class OpenMode : uint8_t {
  // Goods file in service: read and written by us; others may read it but
  // not write it (shared read lock, so a writer's lock is refused).
  kReadWriteOthersRead,
  // Goods candidate while it is examined: read only; no one may write it.
  kReadOnlyExclusive,
  // Report file: read and written by us alone; every write reaches the disk
  // before it returns (O_DSYNC).
  kReadWriteExclusiveSync,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True when something exists at `path` (stat succeeds). Never opens it.
  virtual bool Exists(const std::string& path) = 0;
  // Opens an existing file. kOk with `*file` set; otherwise `*file` is reset
  // (kNotFound when missing, kLocked when another program's lock conflicts).
  virtual FsStatus Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) = 0;
  // Creates a new, empty file; kExists when the path is already taken.
  virtual FsStatus Create(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) = 0;
  // Deletes the file. kOk when it is gone.
  virtual FsStatus Unlink(const std::string& path) = 0;
  // Moves `from` onto the free name `to`; kExists (and nothing moved) when
  // `to` is already taken, so a file placed there by others is never lost.
  virtual FsStatus Rename(const std::string& from, const std::string& to) = 0;
};

// The process-wide POSIX implementation; never null, never deleted.
FileSystem* PosixFileSystem();

}  // namespace tillgate
