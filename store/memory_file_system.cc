#include "store/memory_file_system.h"

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
  MemoryFile(std::shared_ptr<std::string> bytes, bool writable)
      : bytes_(std::move(bytes)), writable_(writable) {}

  FsStatus ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    if (!bytes_) return FsStatus::kError;
    if (offset >= bytes_->size()) return FsStatus::kOk;
    *got = std::min<uint64_t>(n, bytes_->size() - offset);
    std::memcpy(buf, bytes_->data() + offset, *got);
    return FsStatus::kOk;
  }
  FsStatus WriteAt(uint64_t offset, const char* buf, size_t n) override {
    if (!bytes_ || !writable_) return FsStatus::kError;
    if (offset + n > bytes_->size()) bytes_->resize(offset + n, '\0');
    std::memcpy(bytes_->data() + offset, buf, n);
    return FsStatus::kOk;
  }
  FsStatus Size(uint64_t* size) override {
    if (!bytes_) return FsStatus::kError;
    *size = bytes_->size();
    return FsStatus::kOk;
  }
  FsStatus Close() override {
    bytes_.reset();
    return FsStatus::kOk;
  }
  FsStatus Sync() override { return bytes_ ? FsStatus::kOk : FsStatus::kError; }
  FsStatus Truncate(uint64_t size) override {
    if (!bytes_ || !writable_) return FsStatus::kError;
    bytes_->resize(size, '\0');
    return FsStatus::kOk;
  }
  FsStatus Identity(FileIdentity* identity) override {
    if (!bytes_) return FsStatus::kError;
    *identity = IdentityOf(bytes_);
    return FsStatus::kOk;
  }

 private:
  std::shared_ptr<std::string> bytes_;
  bool writable_;
};

bool Writable(OpenMode mode) { return mode != OpenMode::kReadOnlyExclusive; }

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

FsStatus MemoryFileSystem::Identity(const std::string& path, FileIdentity* identity) {
  const auto it = files_.find(path);
  if (it == files_.end()) return FsStatus::kNotFound;
  *identity = IdentityOf(it->second);
  return FsStatus::kOk;
}

FsStatus MemoryFileSystem::Open(const std::string& path, OpenMode mode,
                                std::unique_ptr<File>* file) {
  file->reset();
  const auto it = files_.find(path);
  if (it == files_.end()) return FsStatus::kNotFound;
  *file = std::make_unique<MemoryFile>(it->second, Writable(mode));
  return FsStatus::kOk;
}

FsStatus MemoryFileSystem::Create(const std::string& path, OpenMode mode,
                                  std::unique_ptr<File>* file) {
  file->reset();
  if (files_.count(path)) return FsStatus::kExists;
  auto bytes = std::make_shared<std::string>();
  files_[path] = bytes;
  *file = std::make_unique<MemoryFile>(bytes, true);
  (void)mode;
  return FsStatus::kOk;
}

FsStatus MemoryFileSystem::Unlink(const std::string& path) {
  return files_.erase(path) ? FsStatus::kOk : FsStatus::kNotFound;
}

FsStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  const auto it = files_.find(from);
  if (it == files_.end()) return FsStatus::kNotFound;
  if (files_.count(to)) return FsStatus::kExists;
  files_[to] = it->second;
  files_.erase(from);
  return FsStatus::kOk;
}

FsStatus MemoryFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  const auto it = files_.find(from);
  if (it == files_.end()) return FsStatus::kNotFound;
  files_[to] = it->second;
  files_.erase(from);
  return FsStatus::kOk;
}

FsStatus MemoryFileSystem::SyncFolder(const std::string&) { return FsStatus::kOk; }

// Folders are not modelled: every path may hold a file.
FsStatus MemoryFileSystem::MakeFolders(const std::string&) { return FsStatus::kOk; }

}  // namespace tillgate
