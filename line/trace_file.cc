// The trace file over the file system: appending writes, so a file moved
// aside or appended to by hand never gets a line written over.

#include "line/trace_file.h"

#include "platform/paths.h"

namespace tillgate {
namespace {

class FileSystemTraceFile final : public TraceFile {
 public:
  FileSystemTraceFile(FileSystem& files, std::string folder, std::string name)
      : files_(files), folder_(std::move(folder)), path_(JoinedPath(folder_, name)) {}
  ~FileSystemTraceFile() override { Close(); }

  Status Open(uint64_t* size) override {
    Close();
    const Status made = files_.MakeFolders(folder_);
    if (!made.ok()) return Status::Error(folder_ + ": " + made.Reason());
    Status opened = files_.Open(path_, OpenMode::kAppendUnlocked, &file_);
    // Made now, unless someone else made it first. A trace shows every sale
    // on the line: the owner's alone, like the rest of the state folder.
    if (opened == Status::kNotFound)
      opened = files_.Create(path_, OpenMode::kAppendUnlocked, Readers::kOwner, &file_);
    if (opened == Status::kExists) opened = files_.Open(path_, OpenMode::kAppendUnlocked, &file_);
    if (!opened.ok()) return Failure("", opened);
    const Status measured = file_->Size(&end_);
    if (!measured.ok()) {
      Close();
      return Failure("", measured);
    }
    *size = end_;
    return Status::Ok();
  }

  Status Append(std::string_view text) override {
    if (!file_) return Status::Error(path_ + ": not open");
    const Status written = file_->WriteAt(end_, text.data(), text.size());
    if (!written.ok()) return Failure("", written);
    end_ += text.size();
    return Status::Ok();
  }

  void Close() override {
    if (file_) file_->Close();
    file_.reset();
  }

  Status MoveAside() override {
    Close();
    const Status moved = files_.RenameReplacing(path_, path_ + ".1");
    if (!moved.ok()) return Failure("moving aside ", moved);
    return Status::Ok();
  }

 private:
  Status Failure(const char* what, const Status& status) const {
    return Status::Error(what + path_ + ": " + status.Reason());
  }

  FileSystem& files_;
  std::string folder_;
  std::string path_;
  std::unique_ptr<File> file_;
  uint64_t end_ = 0;  // where the next line goes, as far as this object knows
};

}  // namespace

std::unique_ptr<TraceFile> NewTraceFile(FileSystem& files, std::string folder, std::string name) {
  return std::make_unique<FileSystemTraceFile>(files, std::move(folder), std::move(name));
}

}  // namespace tillgate
