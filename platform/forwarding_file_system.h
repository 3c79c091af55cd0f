#pragma once
// For tests: a file system that hands every call to another one, so that a
// test double overrides only the calls it is about.

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace tillgate {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem* base) : base_(base) {}

  bool Exists(const std::string& path) override { return base_->Exists(path); }
  Status Identity(const std::string& path, FileIdentity* identity) override {
    return base_->Identity(path, identity);
  }
  Status Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return base_->Open(path, mode, file);
  }
  Status Create(const std::string& path, OpenMode mode, Readers readers,
                std::unique_ptr<File>* file) override {
    return base_->Create(path, mode, readers, file);
  }
  Status Unlink(const std::string& path) override { return base_->Unlink(path); }
  Status Rename(const std::string& from, const std::string& to) override {
    return base_->Rename(from, to);
  }
  Status RenameReplacing(const std::string& from, const std::string& to) override {
    return base_->RenameReplacing(from, to);
  }
  Status SyncFolder(const std::string& folder) override { return base_->SyncFolder(folder); }
  Status MakeFolders(const std::string& folder) override { return base_->MakeFolders(folder); }
  Status FolderAccess(const std::string& folder) override { return base_->FolderAccess(folder); }
  Status LockHeld(const std::string& path, bool* held) override {
    return base_->LockHeld(path, held);
  }

 protected:
  FileSystem* base() const { return base_; }

 private:
  FileSystem* base_;
};

}  // namespace tillgate
