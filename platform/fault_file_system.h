#pragma once
// A file system for tests that forwards to another one and fails chosen
// operations: every call of an operation, or only its n-th call from now,
// optionally only for paths ending in a given name. An open file answers to
// the name it has now: a rename takes its rules along.

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tillgate {

enum class FsOp : uint8_t {
  kExists,
  kOpen,
  kCreate,
  kUnlink,
  kRename,
  kRead,
  kWrite,
  kSize,
  kClose,
  kSync,
  kTruncate,
  kIdentity,  // of an open file or of a name
  kRenameReplacing,
  kSyncFolder,
  kMakeFolders,
  kFolderAccess,
  kLockHeld,
  kStat,  // of an open file
};
inline constexpr int kFsOpCount = static_cast<int>(FsOp::kStat) + 1;

class FaultFileSystem final : public FileSystem {
 public:
  explicit FaultFileSystem(FileSystem* base);

  // Fails the `nth` (1 = the next) call of `op` on a matching path, `times`
  // calls in a row, with `status`. An empty `path_suffix` matches any path.
  void FailNth(FsOp op, int nth, const std::string& path_suffix = "", int times = 1,
               Status status = Status::kError);
  // Fails every call of `op` on a matching path until Clear().
  void FailAlways(FsOp op, const std::string& path_suffix = "", Status status = Status::kError);
  // Ends every rule and any crash.
  void Clear();
  // A simulated crash: the `nth` write from now (on any file) does not
  // happen, or only its first half when `torn`, and from then on nothing
  // more reaches the disk: every write, sync, cut, creation, deletion,
  // rename and folder creation fails. Reads go on.
  void CrashAtWrite(int nth, bool torn);
  bool Crashed() const { return crashed_; }
  // Calls of `op` seen so far (failed ones included).
  int Calls(FsOp op) const;

  // Decides one call: kOk to let it through, otherwise the failure to give.
  // Used by the files this system hands out.
  Status Decide(FsOp op, const std::string& path);

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
  Status FolderAccess(const std::string& folder) override;
  Status LockHeld(const std::string& path, bool* held) override;

 private:
  struct Rule {
    FsOp op;
    std::string suffix;
    int skip;       // matching calls to let through first
    int remaining;  // failures left; negative = always
    Status status;
  };
  // The name of an open file, kept current through renames.
  std::shared_ptr<const std::string> Name(const std::string& path);
  void Renamed(const std::string& from, const std::string& to);

  FileSystem* base_;
  std::vector<Rule> rules_;
  std::vector<std::weak_ptr<std::string>> names_;
  int writes_to_crash_ = 0;  // 0: no crash waiting
  bool torn_crash_ = false;
  bool crashed_ = false;
  int calls_[kFsOpCount] = {};
};

}  // namespace tillgate
