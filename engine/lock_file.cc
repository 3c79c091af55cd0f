#include "engine/lock_file.h"

#include <utility>

namespace tillgate {

LockFile::LockFile(FileSystem* fs, std::string path) : fs_(fs), path_(std::move(path)) {}

Status LockFile::Hold() {
  if (file_) {
    if (NamedByPath(file_.get())) return Status::Ok();
    // Deleted or replaced under us: another program may lock the new file.
    Release();
  }
  // Another program may make the file, or put a new one in place, between
  // our look and our lock.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::unique_ptr<File> file;
    Status s = fs_->Open(path_, OpenMode::kReadWriteExclusive, &file);
    if (s.code() == Status::kNotFound)
      s = fs_->Create(path_, OpenMode::kReadWriteExclusive, Readers::kOwner, &file);
    if (s.code() == Status::kExists) continue;
    if (!s.ok()) return s;
    if (!NamedByPath(file.get())) continue;
    file_ = std::move(file);
    return Status::Ok();
  }
  return Status(Status::kBusy, "Resource temporarily unavailable");
}

void LockFile::Release() {
  if (file_) file_->Close();
  file_.reset();
}

bool LockFile::NamedByPath(File* file) {
  FileIdentity held;
  FileIdentity named;
  if (!file->Identity(&held).ok()) return true;  // cannot be told: taken as it is
  return fs_->Identity(path_, &named).ok() && named == held;
}

}  // namespace tillgate
