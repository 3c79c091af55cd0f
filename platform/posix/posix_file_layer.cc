// The file layer on a POSIX file system.

#include "platform/posix/posix_file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace tillgate {
namespace {

// The one place where a system error becomes a result.
Status PosixError(const std::string& context, int error_number) {
  return Status::Error(context + ": " + std::strerror(error_number));
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

int MakeFolders(const std::string& folder) {
  struct stat info;
  if (::stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  std::string parent = ParentFolder(folder);
  if (parent != folder) {
    if (int error_number = MakeFolders(parent)) return error_number;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

namespace {

Status WriteAll(int fd, const std::string& contents, const std::string& path) {
  size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return PosixError(path, errno);
    }
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

// The file a write must replace: the one a link points to, so that settings
// linked into place stay where they are kept and the link stays a link. A
// path that is no link (or a link to nowhere) is replaced as it is.
std::string WriteTarget(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

int FsyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return result;
}

class PosixFileLayer final : public FileLayer {
 public:
  explicit PosixFileLayer(FolderSync sync_folder) : sync_folder_(std::move(sync_folder)) {}

  Status ReadWholeFile(const std::string& path, std::string* contents, bool* exists) override {
    contents->clear();
    *exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) return Status::Ok();
      return PosixError(path, errno);
    }
    *exists = true;
    char buffer[8192];
    while (true) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        int error_number = errno;
        ::close(fd);
        return PosixError(path, error_number);
      }
      if (n == 0) break;
      contents->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return Status::Ok();
  }

  Status ReplaceFile(const std::string& link_or_path, const std::string& contents) override {
    const std::string path = WriteTarget(link_or_path);
    // The rename below would replace a file whatever its mode: a file made
    // read-only is refused as a locked registry key is, even for root.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return PosixError(path, EACCES);
    std::string folder = ParentFolder(path);
    if (int error_number = MakeFolders(folder)) return PosixError(folder, error_number);
    std::string temp = path + ".tmp.XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return PosixError(temp, errno);
    Status status = WriteAll(fd, contents, temp);
    if (status.ok() && ::fsync(fd) != 0) status = PosixError(temp, errno);
    if (::close(fd) != 0 && status.ok()) status = PosixError(temp, errno);
    if (status.ok() && ::rename(temp.c_str(), path.c_str()) != 0) status = PosixError(path, errno);
    if (!status.ok()) {
      ::unlink(temp.c_str());
      return status;
    }
    // The new file is in place and cannot be taken back: a folder that will
    // not be flushed (some shared-folder file systems refuse it) must not
    // turn a done write into a reported failure.
    sync_folder_(folder);
    return Status::Ok();
  }

 private:
  FolderSync sync_folder_;
};

}  // namespace

std::unique_ptr<FileLayer> NewSystemFileLayer() { return NewPosixFileLayer(FsyncFolder); }

std::unique_ptr<FileLayer> NewPosixFileLayer(FolderSync sync_folder) {
  return std::make_unique<PosixFileLayer>(std::move(sync_folder));
}

}  // namespace tillgate
