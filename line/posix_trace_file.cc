// The trace file on POSIX: O_APPEND writes, so a file moved aside or
// appended to by hand never gets a line written over.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "line/trace_file.h"
#include "platform/platform.h"

namespace tillgate {
namespace {

class PosixTraceFile final : public TraceFile {
 public:
  PosixTraceFile(std::string folder, std::string name)
      : folder_(std::move(folder)), path_(folder_ + "/" + name) {}
  ~PosixTraceFile() override { Close(); }

  Status Open(uint64_t* size) override {
    Close();
    // A trace shows every sale on the line: the owner's alone, like the
    // rest of the state folder.
    const Status made = SystemFileSystem().MakeFolders(folder_);
    if (!made.ok()) return Status::Error(folder_ + ": " + made.Reason());
    fd_ = open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return Failure("");
    struct stat info {};
    if (fstat(fd_, &info) != 0) return Failure("");
    *size = static_cast<uint64_t>(info.st_size);
    return Status::Ok();
  }

  Status Append(std::string_view text) override {
    if (fd_ < 0) return Status::Error(path_ + ": not open");
    while (!text.empty()) {
      const ssize_t n = write(fd_, text.data(), text.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Failure("");
      text.remove_prefix(static_cast<size_t>(n));
    }
    return Status::Ok();
  }

  void Close() override {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  Status MoveAside() override {
    Close();
    if (rename(path_.c_str(), (path_ + ".1").c_str()) != 0) return Failure("moving aside ");
    return Status::Ok();
  }

 private:
  Status Failure(const char* what) {
    const int error = errno;
    return Status::Error(what + path_ + ": " + std::strerror(error));
  }

  std::string folder_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<TraceFile> NewPosixTraceFile(std::string folder, std::string name) {
  return std::make_unique<PosixTraceFile>(std::move(folder), std::move(name));
}

}  // namespace tillgate
