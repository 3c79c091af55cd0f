// FolderWatch over inotify, with an eventfd for wake-ups, both polled by one
// poll() so that the caller sleeps in the kernel until either speaks.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/folder_watch.h"
#include "platform/platform.h"
#include "platform/posix/posix_status.h"

namespace tillgate {
namespace {

constexpr uint32_t kWatchedEvents = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE;

class PosixFolderWatch final : public FolderWatch {
 public:
  PosixFolderWatch()
      : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
        wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~PosixFolderWatch() override {
    if (inotify_ >= 0) close(inotify_);
    if (wake_ >= 0) close(wake_);
  }

  Status Add(const std::string& folder) override {
    if (inotify_ < 0) return StatusFromErrno(ENOSYS, "inotify");
    if (inotify_add_watch(inotify_, folder.c_str(), kWatchedEvents) < 0)
      return StatusFromErrno(errno);
    return Status::Ok();
  }

  bool Wait(std::chrono::milliseconds timeout) override {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
    const int count = inotify_ >= 0 ? 2 : 1;
    const int ms = timeout.count() > INT32_MAX ? INT32_MAX : static_cast<int>(timeout.count());
    // A signal (EINTR) only ends the sleep early.
    const int ready = poll(fds, static_cast<nfds_t>(count), ms < 0 ? 0 : ms);
    if (ready <= 0) return false;
    Drain(wake_);
    if (inotify_ >= 0) Drain(inotify_);
    return true;
  }

  void Wake() override {
    const uint64_t one = 1;
    if (wake_ >= 0) (void)!write(wake_, &one, sizeof one);
  }

 private:
  static void Drain(int fd) {
    if (fd < 0) return;
    alignas(inotify_event) char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
  }

  int inotify_;
  int wake_;
};

}  // namespace

std::unique_ptr<FolderWatch> NewSystemFolderWatch() { return std::make_unique<PosixFolderWatch>(); }

}  // namespace tillgate
