#include "store/fault_file_system.h"

#include <cerrno>

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

  FsStatus ReadAt(uint64_t offset, char* buf, size_t n, size_t* got) override {
    *got = 0;
    const FsStatus s = fs_->Decide(FsOp::kRead, path_);
    return s == FsStatus::kOk ? base_->ReadAt(offset, buf, n, got) : s;
  }
  FsStatus WriteAt(uint64_t offset, const char* buf, size_t n) override {
    const FsStatus s = fs_->Decide(FsOp::kWrite, path_);
    if (s == FsStatus::kShortTransfer && n > 1) {
      // A torn write: half the bytes reach the file.
      base_->WriteAt(offset, buf, n / 2);
      return s;
    }
    return s == FsStatus::kOk ? base_->WriteAt(offset, buf, n) : s;
  }
  FsStatus Size(uint64_t* size) override {
    const FsStatus s = fs_->Decide(FsOp::kSize, path_);
    return s == FsStatus::kOk ? base_->Size(size) : s;
  }
  FsStatus Close() override {
    const FsStatus s = fs_->Decide(FsOp::kClose, path_);
    const FsStatus closed = base_->Close();
    return s == FsStatus::kOk ? closed : s;
  }
  FsStatus Sync() override {
    const FsStatus s = fs_->Decide(FsOp::kSync, path_);
    return s == FsStatus::kOk ? base_->Sync() : s;
  }
  FsStatus Truncate(uint64_t size) override {
    const FsStatus s = fs_->Decide(FsOp::kTruncate, path_);
    return s == FsStatus::kOk ? base_->Truncate(size) : s;
  }
  FsStatus Identity(FileIdentity* identity) override {
    const FsStatus s = fs_->Decide(FsOp::kIdentity, path_);
    return s == FsStatus::kOk ? base_->Identity(identity) : s;
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
                              FsStatus status) {
  rules_.push_back({op, path_suffix, nth - 1, times, status});
}

void FaultFileSystem::FailAlways(FsOp op, const std::string& path_suffix, FsStatus status) {
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

FsStatus FaultFileSystem::Decide(FsOp op, const std::string& path) {
  ++calls_[static_cast<int>(op)];
  if (crashed_ && Mutates(op)) return FsStatus(FsStatus::kError, EIO);
  if (op == FsOp::kWrite && writes_to_crash_ > 0 && --writes_to_crash_ == 0) {
    crashed_ = true;
    return torn_crash_ ? FsStatus::kShortTransfer : FsStatus(FsStatus::kError, EIO);
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
  return FsStatus::kOk;
}

bool FaultFileSystem::Exists(const std::string& path) {
  return Decide(FsOp::kExists, path) == FsStatus::kOk && base_->Exists(path);
}

FsStatus FaultFileSystem::Identity(const std::string& path, FileIdentity* identity) {
  const FsStatus s = Decide(FsOp::kIdentity, path);
  return s == FsStatus::kOk ? base_->Identity(path, identity) : s;
}

FsStatus FaultFileSystem::Open(const std::string& path, OpenMode mode,
                               std::unique_ptr<File>* file) {
  file->reset();
  const FsStatus s = Decide(FsOp::kOpen, path);
  if (s != FsStatus::kOk) return s;
  std::unique_ptr<File> base;
  const FsStatus opened = base_->Open(path, mode, &base);
  if (opened == FsStatus::kOk)
    *file = std::make_unique<FaultFile>(this, Name(path), std::move(base));
  return opened;
}

FsStatus FaultFileSystem::Create(const std::string& path, OpenMode mode,
                                 std::unique_ptr<File>* file) {
  file->reset();
  const FsStatus s = Decide(FsOp::kCreate, path);
  if (s != FsStatus::kOk) return s;
  std::unique_ptr<File> base;
  const FsStatus created = base_->Create(path, mode, &base);
  if (created == FsStatus::kOk)
    *file = std::make_unique<FaultFile>(this, Name(path), std::move(base));
  return created;
}

FsStatus FaultFileSystem::Unlink(const std::string& path) {
  const FsStatus s = Decide(FsOp::kUnlink, path);
  return s == FsStatus::kOk ? base_->Unlink(path) : s;
}

FsStatus FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  FsStatus s = Decide(FsOp::kRename, from);
  if (s == FsStatus::kOk) s = base_->Rename(from, to);
  if (s == FsStatus::kOk) Renamed(from, to);
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

FsStatus FaultFileSystem::RenameReplacing(const std::string& from, const std::string& to) {
  FsStatus s = Decide(FsOp::kRenameReplacing, from);
  if (s == FsStatus::kOk) s = base_->RenameReplacing(from, to);
  if (s == FsStatus::kOk) Renamed(from, to);
  return s;
}

FsStatus FaultFileSystem::SyncFolder(const std::string& folder) {
  const FsStatus s = Decide(FsOp::kSyncFolder, folder);
  return s == FsStatus::kOk ? base_->SyncFolder(folder) : s;
}

FsStatus FaultFileSystem::MakeFolders(const std::string& folder) {
  const FsStatus s = Decide(FsOp::kMakeFolders, folder);
  return s == FsStatus::kOk ? base_->MakeFolders(folder) : s;
}

}  // namespace tillgate
