#include "platform/fault_file_system.h"

namespace tillgate {
namespace {

// What a crashed process can no longer do to the disk.
bool Mutates(FsOp op) {
  switch (op) {
    case FsOp::kWrite:
    case FsOp::kSync:
    case FsOp::kTruncate:
    case FsOp::kCreate:
    case FsOp::kUnlink:
    case FsOp::kRename:
    case FsOp::kRenameReplacing:
    case FsOp::kMakeFolders:
      return true;
    default:
      return false;
  }
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Forwards to the real file unless the owning file system decides to fail.
class FaultFile final : public File {
 public:
  FaultFile(FaultFileSystem* fs, std::shared_ptr<const std::string> path,
            std::unique_ptr<File> base)
      : fs_(fs), name_(std::move(path)), base_(std::move(base)) {}

  Status ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    const Status s = fs_->Decide(FsOp::kRead, path_);
    return s == Status::kOk ? base_->ReadAt(offset, buf, n, got) : s;
  }
  Status WriteAt(uint64_t offset, const char* buf, size_t n) override {
    const Status s = fs_->Decide(FsOp::kWrite, path_);
    if (s == Status::kShortTransfer && n > 1) {
      // A torn write: half the bytes reach the file.
      base_->WriteAt(offset, buf, n / 2);
      return s;
    }
    return s == Status::kOk ? base_->WriteAt(offset, buf, n) : s;
  }
  Status Size(uint64_t* size) override {
    const Status s = fs_->Decide(FsOp::kSize, path_);
    return s == Status::kOk ? base_->Size(size) : s;
  }
  Status Close() override {
    const Status s = fs_->Decide(FsOp::kClose, path_);
    const Status closed = base_->Close();
    return s == Status::kOk ? closed : s;
  }
  Status Sync() override {
    const Status s = fs_->Decide(FsOp::kSync, path_);
    return s == Status::kOk ? base_->Sync() : s;
  }
  Status Truncate(uint64_t size) override {
    const Status s = fs_->Decide(FsOp::kTruncate, path_);
    return s == Status::kOk ? base_->Truncate(size) : s;
  }
  Status Identity(FileIdentity* identity) override {
    const Status s = fs_->Decide(FsOp::kIdentity, path_);
    return s == Status::kOk ? base_->Identity(identity) : s;
  }
  Status Stat(FileStat* stat) override {
    const Status s = fs_->Decide(FsOp::kStat, path_);
    return s == Status::kOk ? base_->Stat(stat) : s;
  }

 private:
  FaultFileSystem* fs_;
  // The name the file has now: a rename of it moves its rules along.
  std::shared_ptr<const std::string> name_;
  const std::string& path_ = *name_;
  std::unique_ptr<File> base_;
};

}  // namespace

FaultFileSystem::FaultFileSystem(FileSystem* base) : base_(base) {}

void FaultFileSystem::FailNth(FsOp op, int nth, const std::string& path_suffix, int times,
                              Status status) {
  rules_.push_back({op, path_suffix, nth - 1, times, status});
}

void FaultFileSystem::FailAlways(FsOp op, const std::string& path_suffix, Status status) {
  rules_.push_back({op, path_suffix, 0, -1, status});
}

void FaultFileSystem::Clear() {
  rules_.clear();
  writes_to_crash_ = 0;
  crashed_ = false;
}

void FaultFileSystem::CrashAtWrite(int nth, bool torn) {
  writes_to_crash_ = nth;
  torn_crash_ = torn;
  crashed_ = false;
}

int FaultFileSystem::Calls(FsOp op) const { return calls_[static_cast<int>(op)]; }

Status FaultFileSystem::Decide(FsOp op, const std::string& path) {
  ++calls_[static_cast<int>(op)];
  if (crashed_ && Mutates(op)) return Status(Status::kError);
  if (op == FsOp::kWrite && writes_to_crash_ > 0 && --writes_to_crash_ == 0) {
    crashed_ = true;
    return torn_crash_ ? Status::kShortTransfer : Status(Status::kError);
  }
  for (Rule& rule : rules_) {
    if (rule.op != op || rule.remaining == 0 || !EndsWith(path, rule.suffix)) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    if (rule.remaining > 0) --rule.remaining;
    return rule.status;
  }
  return Status::kOk;
}

bool FaultFileSystem::Exists(const std::string& path) {
  return Decide(FsOp::kExists, path) == Status::kOk && base_->Exists(path);
}

Status FaultFileSystem::Identity(const std::string& path, FileIdentity* identity) {
  const Status s = Decide(FsOp::kIdentity, path);
  return s == Status::kOk ? base_->Identity(path, identity) : s;
}

Status FaultFileSystem::Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) {
  file->reset();
  const Status s = Decide(FsOp::kOpen, path);
  if (s != Status::kOk) return s;
  std::unique_ptr<File> base;
  const Status opened = base_->Open(path, mode, &base);
  if (opened == Status::kOk) *file = std::make_unique<FaultFile>(this, Name(path), std::move(base));
  return opened;
}

Status FaultFileSystem::Create(const std::string& path, OpenMode mode, Readers readers,
                               std::unique_ptr<File>* file) {
  file->reset();
  const Status s = Decide(FsOp::kCreate, path);
  if (s != Status::kOk) return s;
  std::unique_ptr<File> base;
  const Status created = base_->Create(path, mode, readers, &base);
  if (created == Status::kOk)
    *file = std::make_unique<FaultFile>(this, Name(path), std::move(base));
  return created;
}

Status FaultFileSystem::Unlink(const std::string& path) {
  const Status s = Decide(FsOp::kUnlink, path);
  return s == Status::kOk ? base_->Unlink(path) : s;
}

Status FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  Status s = Decide(FsOp::kRename, from);
  if (s == Status::kOk) s = base_->Rename(from, to);
  if (s == Status::kOk) Renamed(from, to);
  return s;
}

std::shared_ptr<const std::string> FaultFileSystem::Name(const std::string& path) {
  auto name = std::make_shared<std::string>(path);
  std::erase_if(names_, [](const std::weak_ptr<std::string>& n) { return n.expired(); });
  names_.push_back(name);
  return name;
}

void FaultFileSystem::Renamed(const std::string& from, const std::string& to) {
  for (const std::weak_ptr<std::string>& weak : names_)
    if (const auto name = weak.lock(); name && *name == from) *name = to;
}

Status FaultFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  Status s = Decide(FsOp::kRenameReplacing, from);
  if (s == Status::kOk) s = base_->RenameReplacing(from, to);
  if (s == Status::kOk) Renamed(from, to);
  return s;
}

Status FaultFileSystem::SyncFolder(const std::string& folder) {
  const Status s = Decide(FsOp::kSyncFolder, folder);
  return s == Status::kOk ? base_->SyncFolder(folder) : s;
}

Status FaultFileSystem::MakeFolders(const std::string& folder) {
  const Status s = Decide(FsOp::kMakeFolders, folder);
  return s == Status::kOk ? base_->MakeFolders(folder) : s;
}

Status FaultFileSystem::FolderAccess(const std::string& folder) {
  const Status s = Decide(FsOp::kFolderAccess, folder);
  return s == Status::kOk ? base_->FolderAccess(folder) : s;
}

Status FaultFileSystem::LockHeld(const std::string& path, bool* held) {
  *held = false;
  const Status s = Decide(FsOp::kLockHeld, path);
  return s == Status::kOk ? base_->LockHeld(path, held) : s;
}

}  // namespace tillgate
