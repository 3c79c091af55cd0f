#include "platform/memory_file_system.h"

#include <algorithm>
#include <cstring>

namespace tillgate {
namespace {

// The contents' address stands for the inode: it stays with the file through
// renames and is another one for a new file.
FileIdentity IdentityOf(const std::shared_ptr<std::string>& bytes) {
  return {1, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(bytes.get()))};
}

class MemoryFile final : public File {
 public:
  MemoryFile(std::shared_ptr<std::string> bytes, bool writable, bool appending)
      : bytes_(std::move(bytes)), writable_(writable), appending_(appending) {}

  Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    if (!bytes_) return Status::kError;
    if (offset >= bytes_->size()) return Status::kOk;
    *got = std::min<uint64_t>(n, bytes_->size() - offset);
    std::memcpy(buf, bytes_->data() + offset, *got);
    return Status::kOk;
  }
  Status WriteAt(uint64_t offset, const char* buf, size_t n) override {
    if (!bytes_ || !writable_) return Status::kError;
    if (appending_) offset = bytes_->size();
    if (offset + n > bytes_->size()) bytes_->resize(offset + n, '\0');
    std::memcpy(bytes_->data() + offset, buf, n);
    return Status::kOk;
  }
  Status Size(uint64_t* size) override {
    if (!bytes_) return Status::kError;
    *size = bytes_->size();
    return Status::kOk;
  }
  Status Close() override {
    bytes_.reset();
    return Status::kOk;
  }
  Status Sync() override { return bytes_ ? Status::kOk : Status::kError; }
  Status Truncate(uint64_t size) override {
    if (!bytes_ || !writable_) return Status::kError;
    bytes_->resize(size, '\0');
    return Status::kOk;
  }
  Status Identity(FileIdentity* identity) override {
    if (!bytes_) return Status::kError;
    *identity = IdentityOf(bytes_);
    return Status::kOk;
  }

 private:
  std::shared_ptr<std::string> bytes_;
  bool writable_;
  bool appending_;
};

bool Writable(OpenMode mode) { return mode != OpenMode::kReadOnlyExclusive; }
bool Appending(OpenMode mode) { return mode == OpenMode::kAppendUnlocked; }

}  // namespace

void MemoryFileSystem::Put(const std::string& path, std::string bytes) {
  files_[path] = std::make_shared<std::string>(std::move(bytes));
}

void MemoryFileSystem::Overwrite(const std::string& path, const std::string& bytes) {
  const auto it = files_.find(path);
  if (it == files_.end()) {
    Put(path, bytes);
    return;
  }
  *it->second = bytes;
}

std::string MemoryFileSystem::Get(const std::string& path) const {
  const auto it = files_.find(path);
  return it == files_.end() ? std::string() : *it->second;
}

bool MemoryFileSystem::Exists(const std::string& path) { return files_.count(path) > 0; }

Status MemoryFileSystem::Identity(const std::string& path, FileIdentity* identity) {
  const auto it = files_.find(path);
  if (it == files_.end()) return Status::kNotFound;
  *identity = IdentityOf(it->second);
  return Status::kOk;
}

Status MemoryFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  const auto it = files_.find(path);
  if (it == files_.end()) return Status::kNotFound;
  *file = std::make_unique<MemoryFile>(it->second, Writable(mode), Appending(mode));
  return Status::kOk;
}

Status MemoryFileSystem::Create(const std::string& path, OpenMode mode, Readers /*readers*/,
                                std::unique_ptr<File>* file) {
  file->reset();
  if (files_.count(path)) return Status::kExists;
  auto bytes = std::make_shared<std::string>();
  files_[path] = bytes;
  *file = std::make_unique<MemoryFile>(bytes, true, Appending(mode));
  return Status::kOk;
}

Status MemoryFileSystem::Unlink(const std::string& path) {
  return files_.erase(path) ? Status::kOk : Status::kNotFound;
}

Status MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const auto it = files_.find(from);
  if (it == files_.end()) return Status::kNotFound;
  if (files_.count(to)) return Status::kExists;
  files_[to] = it->second;
  files_.erase(from);
  return Status::kOk;
}

Status MemoryFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  const auto it = files_.find(from);
  if (it == files_.end()) return Status::kNotFound;
  files_[to] = it->second;
  files_.erase(from);
  return Status::kOk;
}

Status MemoryFileSystem::SyncFolder(const std::string&) { return Status::kOk; }

// Folders are not modelled: every path may hold a file.
Status MemoryFileSystem::MakeFolders(const std::string&) { return Status::kOk; }

Status MemoryFileSystem::FolderAccess(const std::string&) { return Status::kOk; }

Status MemoryFileSystem::LockHeld(const std::string& path, bool* held) {
  *held = false;
  return Exists(path) ? Status::kOk : Status::kNotFound;
}

}  // namespace tillgate
