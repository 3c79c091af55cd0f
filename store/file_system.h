#pragma once
// The few file services the store needs, behind an interface so that tests
// can fail chosen operations. Sharing is expressed as intent; the POSIX
// implementation maps it to advisory fcntl locks, which only bind programs
// that take such locks too.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

namespace tillgate {

// The result of a file operation: what went wrong and the system's error
// number behind it, so that a message can say why.
class FsStatus {
 public:
  enum Code : uint8_t {
    kOk,
    kNotFound,       // the path (or a folder on it) does not exist
    kExists,         // create-new or rename found the target already there
    kLocked,         // another program holds a conflicting lock
    kNoSpace,        // disk or quota full
    kDenied,         // permissions
    kShortTransfer,  // a write moved fewer bytes than asked
    kError,          // anything else, including a closed file
  };

  constexpr FsStatus(Code code = kOk, int error_number = 0)  // NOLINT: a code is a result
      : code_(code), error_number_(error_number) {}

  Code code() const { return code_; }
  bool ok() const { return code_ == kOk; }
  // The errno value behind the failure; 0 when none was given.
  int error_number() const { return error_number_; }
  // The system's text for the failure, such as "No space left on device";
  // for a result made without an errno, the text of the one its code stands
  // for. Empty when ok.
  std::string Reason() const;

  // Results compare by their codes: a test asks what kind of failure it got.
  friend bool operator==(FsStatus a, FsStatus b) { return a.code_ == b.code_; }

 private:
  Code code_;
  int error_number_;
};

// For test failure messages.
void PrintTo(const FsStatus& status, std::ostream* out);

// The one place where an errno value becomes a result; the value is kept.
FsStatus StatusFromErrno(int err);

// Which file a name or an open file is: device and inode.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

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
  // Everything written so far is on the disk when this returns kOk.
  virtual FsStatus Sync() { return FsStatus(FsStatus::kError, EOPNOTSUPP); }
  // Cuts the file to `size` bytes.
  virtual FsStatus Truncate(uint64_t /*size*/) { return FsStatus(FsStatus::kError, EOPNOTSUPP); }
  // Which file this is, to tell whether a name still leads to it.
  virtual FsStatus Identity(FileIdentity* /*identity*/) {
    return FsStatus(FsStatus::kError, EOPNOTSUPP);
  }
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
  // The journal: read and written by us alone; the writer syncs explicitly.
  kReadWriteExclusive,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True when something exists at `path` (stat succeeds). Never opens it.
  virtual bool Exists(const std::string& path) = 0;
  // Which file `path` names now; kNotFound when nothing does.
  virtual FsStatus Identity(const std::string& path, FileIdentity* identity) = 0;
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
  // Puts `from` in the place of `to` in one step: whoever opens `to` finds
  // either the old file or the new one, never none. Only for files of our
  // own that replace one another (the goods file, the journal).
  virtual FsStatus RenameReplacing(const std::string& from, const std::string& to) = 0;
  // Makes the names in `folder` (a rename, a new file) durable.
  virtual FsStatus SyncFolder(const std::string& folder) = 0;
  // Creates `folder` and its missing parents, readable by the owner only.
  virtual FsStatus MakeFolders(const std::string& folder) = 0;
};

// The process-wide POSIX implementation; never null, never deleted.
FileSystem* PosixFileSystem();

}  // namespace tillgate
