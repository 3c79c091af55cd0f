// The simulator's end of a line on POSIX: a pseudo-terminal's master side,
// or a device.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/posix_status.h"
#include "platform/sim_port.h"

namespace tillgate {
namespace {

bool MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

class PosixSimPort final : public SimPort {
 public:
  // `keep_fd` (-1 for none) is held open for the life of the port.
  PosixSimPort(int fd, int keep_fd) : fd_(fd), keep_fd_(keep_fd) {}
  ~PosixSimPort() override {
    close(fd_);
    if (keep_fd_ >= 0) close(keep_fd_);
  }

  Status Read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout,
              size_t* got) override {
    *got = 0;
    pollfd p{fd_, POLLIN, 0};
    int ready;
    do {
      ready = poll(&p, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return StatusFromErrno(errno);
    if (ready == 0) return Status::Ok();
    ssize_t n;
    do {
      n = read(fd_, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno == EAGAIN ? Status::Ok() : StatusFromErrno(errno);
    *got = static_cast<size_t>(n);
    return Status::Ok();
  }

  Status Write(const uint8_t* bytes, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(fd_, bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd p{fd_, POLLOUT, 0};
          poll(&p, 1, 100);
          continue;
        }
        return StatusFromErrno(errno);
      }
      done += static_cast<size_t>(n);
    }
    return Status::Ok();
  }

 private:
  int fd_;
  int keep_fd_;
};

}  // namespace

std::unique_ptr<SimPort> CreatePseudoTerminal(std::string* device_path, Status* status) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    *status = StatusFromErrno(errno, "posix_openpt");
    return nullptr;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    *status = StatusFromErrno(errno, "pseudo-terminal set-up");
    close(master);
    return nullptr;
  }
  // Holding the slave open keeps the master readable (no EIO) while the
  // server has the line closed, and fixes raw mode before the server arrives.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0 || !MakeRaw(slave)) {
    *status = StatusFromErrno(errno, "pseudo-terminal slave");
    if (slave >= 0) close(slave);
    close(master);
    return nullptr;
  }
  *device_path = name;
  *status = Status::Ok();
  return std::make_unique<PosixSimPort>(master, slave);
}

std::unique_ptr<SimPort> OpenSimPort(const std::string& path, Status* status) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *status = StatusFromErrno(errno).Within("", path);
    return nullptr;
  }
  if (isatty(fd) && !MakeRaw(fd)) {
    *status = StatusFromErrno(errno).Within("", path);
    close(fd);
    return nullptr;
  }
  *status = Status::Ok();
  return std::make_unique<PosixSimPort>(fd, -1);
}

}  // namespace tillgate
