#pragma once
// Files held in memory, for fuzzing and tests that need no disk. Locks are
// not modelled; a path holds one byte string.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace tillgate {

class MemoryFileSystem final : public FileSystem {
 public:
  // Puts (or replaces) a file's contents.
  void Put(const std::string& path, std::string bytes);
  // Writes new contents into a file in place, as another program writing it
  // would: a file already open sees them. Puts a missing file.
  void Overwrite(const std::string& path, const std::string& bytes);
  // The contents, or empty when there is no such file.
  std::string Get(const std::string& path) const;

  bool Exists(const std::string& path) override;
  Status Identity(const std::string& path, FileIdentity* identity) override;
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override;
  Status Create(const std::string& path, OpenMode mode, Readers readers,
                std::unique_ptr<File>* file) override;
  Status Unlink(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status RenameReplacing(const std::string& from, const std::string& to) override;
  Status SyncFolder(const std::string& folder) override;
  Status MakeFolders(const std::string& folder) override;
  // Every folder is there and writable; no other program holds a lock.
  Status FolderAccess(const std::string& folder) override;
  Status LockHeld(const std::string& path, bool* held) override;

 private:
  // Shared so that an open file outlives an unlink, as on POSIX.
  struct Contents {
    std::string bytes;
    int64_t modified = 0;  // counts writes: the file's time of last write
  };
  std::map<std::string, std::shared_ptr<Contents>> files_;

  friend class MemoryFile;
};

}  // namespace tillgate
