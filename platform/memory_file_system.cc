#include "platform/memory_file_system.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace tillgate {
namespace {

// The contents' address stands for the inode: it stays with the file through
// renames and is another one for a new file.
template <typename Contents>
FileIdentity IdentityOf(const std::shared_ptr<Contents>& contents) {
  return {1, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(contents.get()))};
}

// Every write in any file counts as one tick of the files' clock.
int64_t NextWriteTime() {
  static std::atomic<int64_t> clock{0};
  return ++clock;
}

}  // namespace

class MemoryFile final : public File {
 public:
  using Contents = MemoryFileSystem::Contents;
  MemoryFile(std::shared_ptr<Contents> contents, bool writable, bool appending)
      : contents_(std::move(contents)),
        bytes_(contents_ ? &contents_->bytes : nullptr),
        writable_(writable),
        appending_(appending) {}

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
    contents_->modified = NextWriteTime();
    return Status::kOk;
  }
  Status Size(uint64_t* size) override {
    if (!bytes_) return Status::kError;
    *size = bytes_->size();
    return Status::kOk;
  }
  Status Close() override {
    contents_.reset();
    bytes_ = nullptr;
    return Status::kOk;
  }
  Status Sync() override { return bytes_ ? Status::kOk : Status::kError; }
  Status Truncate(uint64_t size) override {
    if (!bytes_ || !writable_) return Status::kError;
    bytes_->resize(size, '\0');
    contents_->modified = NextWriteTime();
    return Status::kOk;
  }
  Status Identity(FileIdentity* identity) override {
    if (!bytes_) return Status::kError;
    *identity = IdentityOf(contents_);
    return Status::kOk;
  }
  Status Stat(FileStat* stat) override {
    if (!bytes_) return Status::kError;
    stat->identity = IdentityOf(contents_);
    stat->size = bytes_->size();
    stat->modified_ns = contents_->modified;
    return Status::kOk;
  }

 private:
  std::shared_ptr<Contents> contents_;
  std::string* bytes_;
  bool writable_;
  bool appending_;
};

namespace {

bool Writable(OpenMode mode) { return mode != OpenMode::kReadOnlyExclusive; }
bool Appending(OpenMode mode) { return mode == OpenMode::kAppendUnlocked; }

}  // namespace

void MemoryFileSystem::Put(const std::string& path, std::string bytes) {
  files_[path] = std::make_shared<Contents>(Contents{std::move(bytes), NextWriteTime()});
}

void MemoryFileSystem::Overwrite(const std::string& path, const std::string& bytes) {
  const auto it = files_.find(path);
  if (it == files_.end()) {
    Put(path, bytes);
    return;
  }
  it->second->bytes = bytes;
  it->second->modified = NextWriteTime();
}

std::string MemoryFileSystem::Get(const std::string& path) const {
  const auto it = files_.find(path);
  return it == files_.end() ? std::string() : it->second->bytes;
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
  auto contents = std::make_shared<Contents>(Contents{std::string(), NextWriteTime()});
  files_[path] = contents;
  *file = std::make_unique<MemoryFile>(contents, true, Appending(mode));
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
