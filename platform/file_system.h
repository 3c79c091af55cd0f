#pragma once
// The file services the server needs, behind an interface so that tests
// can fail chosen operations and each system brings its own. Sharing is
// expressed as intent: POSIX maps it to advisory open-file-description
// locks, which only bind programs that take such locks too; Windows to share
// modes and byte-range locks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace tillgate {

// Which file a name or an open file is: device and inode (on Windows the
// volume serial number and the file index).
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What an open file is now: which file, how long, when its contents were
// last written. Two looks that agree mean nobody wrote it in between, as far
// as the system's clock for file times can tell (writes within one tick of
// it look alike).
struct FileStat {
  FileIdentity identity;
  uint64_t size = 0;
  int64_t modified_ns = 0;  // since the epoch; 0 where the system tells none
  friend bool operator==(const FileStat&, const FileStat&) = default;
};

// One open file. Positioned transfers only: there is no shared file position.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `n` bytes at `offset` into `buf`; `*got` receives the count
  // read, which is short only at the end of the file. kOk when the read
  // itself succeeded (a read at or past the end gives kOk with 0).
  virtual Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) = 0;
  // Writes all `n` bytes at `offset`. kOk only when every byte was written;
  // kShortTransfer when some were.
  virtual Status WriteAt(uint64_t offset, const char* buf, size_t n) = 0;
  // kOk with the current size in `*size`.
  virtual Status Size(uint64_t* size) = 0;
  // Releases the file and its lock. kOk when the close succeeded; the file
  // is unusable afterwards either way. Destroying an open file closes it.
  virtual Status Close() = 0;
  // Everything written so far is on the disk when this returns kOk.
  virtual Status Sync() { return Status::kNotSupported; }
  // Cuts the file to `size` bytes.
  virtual Status Truncate(uint64_t /*size*/) { return Status::kNotSupported; }
  // Which file this is, to tell whether a name still leads to it.
  virtual Status Identity(FileIdentity* /*identity*/) { return Status::kNotSupported; }
  // Identity, size and time of the last write in one look. This default
  // knows no time of the last write.
  virtual Status Stat(FileStat* stat) {
    FileStat now;
    Status s = Identity(&now.identity);
    if (s.ok()) s = Size(&now.size);
    if (s.ok()) *stat = now;
    return s;
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
  // A look that changes nothing (--check beside a running server): read
  // only, no lock taken, nobody else hindered.
  kReadOnlyUnlocked,
  // A protocol trace: written only, and every WriteAt goes to the end of the
  // file whatever its offset (POSIX O_APPEND, Windows FILE_APPEND_DATA
  // without FILE_WRITE_DATA), so that lines someone else appended are never
  // written over. No lock taken, nobody else hindered.
  kAppendUnlocked,
};

// Who may read a file we create; its owner alone writes it either way.
enum class Readers : uint8_t {
  // The server's own files in its state folder (the journal and the files
  // beside it, status.json and its lock, protocol traces): open sales are
  // no other local user's business. POSIX mode 0600.
  kOwner,
  // The shop's files, which other shop software reads (otchet.dbf, handed
  // over as otchet2.dbf). POSIX mode 0644.
  kEveryone,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True when something exists at `path` (stat succeeds). Never opens it.
  virtual bool Exists(const std::string& path) = 0;
  // Which file `path` names now; kNotFound when nothing does.
  virtual Status Identity(const std::string& path, FileIdentity* identity) = 0;
  // Opens an existing file. kOk with `*file` set; otherwise `*file` is reset
  // (kNotFound when missing, kBusy when another program's lock conflicts).
  virtual Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) = 0;
  // Creates a new, empty file that `readers` may read; kExists when the
  // path is already taken.
  virtual Status Create(const std::string& path, OpenMode mode, Readers readers,
                        std::unique_ptr<File>* file) = 0;
  // Deletes the file. kOk when it is gone.
  virtual Status Unlink(const std::string& path) = 0;
  // Moves `from` onto the free name `to`; kExists (and nothing moved) when
  // `to` is already taken, so a file placed there by others is never lost.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Puts `from` in the place of `to` in one step: whoever opens `to` finds
  // either the old file or the new one, never none. Only for files of our
  // own that replace one another (the goods file, the journal).
  virtual Status RenameReplacing(const std::string& from, const std::string& to) = 0;
  // Makes the names in `folder` (a rename, a new file) durable.
  virtual Status SyncFolder(const std::string& folder) = 0;
  // Creates `folder` and its missing parents, readable by the owner only.
  virtual Status MakeFolders(const std::string& folder) = 0;
  // Ok when `folder` is a folder this process can enter and create files
  // in; otherwise why not (kNotFound, kDenied ...): kNotAFolder when
  // something else has that name or a folder on its way is something else,
  // told by the system's text for it ("Not a directory").
  virtual Status FolderAccess(const std::string& folder) = 0;
  // Whether another program holds a lock on the file at `path` (a running
  // server on its journal), asked without taking one: ok with *held set.
  virtual Status LockHeld(const std::string& path, bool* held) = 0;
};

}  // namespace tillgate
