#pragma once
// A lock file: a file whose exclusive lock says which program owns
// something beside it (the status file, which is replaced by a rename and
// so cannot carry a lock itself). The lock is the platform's lock on an
// open file, gone with the process that held it, so a crash leaves nothing
// stale behind; the file itself stays. A lock counts only on the file the
// name leads to: a lock file deleted by hand and made anew is taken anew.

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace tillgate {

class LockFile {
 public:
  // `fs` must outlive this object; the lock is not taken yet.
  LockFile(FileSystem* fs, std::string path);
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Keeps the lock, taking it when it is free (the file is made when
  // missing, readable by its owner only). Ok while this object holds it;
  // kBusy while another program does; otherwise why it cannot be taken.
  Status Hold();
  // Lets go of it, for another program to take. Destruction does the same.
  void Release();
  bool Held() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

 private:
  bool NamedByPath(File* file);

  FileSystem* fs_;
  std::string path_;
  std::unique_ptr<File> file_;
};

}  // namespace tillgate
