// POSIX end of the simulated line: pseudo-terminal master or a device.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/regsim/sim_port.h"

namespace tillgate::regsim {

IoResult ErrnoResult(int error) {
  IoResult r;
  r.ok = false;
  r.error = error;
  return r;
}

namespace {

IoResult Transferred(size_t count) {
  IoResult r;
  r.ok = true;
  r.count = count;
  return r;
}

std::string ErrorText(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

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

  IoResult Read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override {
    pollfd p{fd_, POLLIN, 0};
    int ready;
    do {
      ready = poll(&p, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return ErrnoResult(errno);
    if (ready == 0) return Transferred(0);
    ssize_t n;
    do {
      n = read(fd_, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      if (errno == EAGAIN) return Transferred(0);
      return ErrnoResult(errno);
    }
    return Transferred(static_cast<size_t>(n));
  }

  IoResult Write(const uint8_t* bytes, size_t size) override {
    size_t done = 0;
    while (done < size) {
      ssize_t n = write(fd_, bytes + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
          pollfd p{fd_, POLLOUT, 0};
          poll(&p, 1, 100);
          continue;
        }
        return ErrnoResult(errno);
      }
      done += static_cast<size_t>(n);
    }
    return Transferred(done);
  }

 private:
  int fd_;
  int keep_fd_;
};

}  // namespace

std::unique_ptr<SimPort> CreatePseudoTerminal(std::string* slave_path, std::string* error) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    *error = ErrorText("posix_openpt", errno);
    return nullptr;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    *error = ErrorText("pseudo-terminal set-up", errno);
    close(master);
    return nullptr;
  }
  // Holding the slave open keeps the master readable (no EIO) while the
  // server has the line closed, and fixes raw mode before the server arrives.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0 || !MakeRaw(slave)) {
    *error = ErrorText("pseudo-terminal slave", errno);
    if (slave >= 0) close(slave);
    close(master);
    return nullptr;
  }
  *slave_path = name;
  return std::make_unique<PosixSimPort>(master, slave);
}

std::unique_ptr<SimPort> OpenSerialDevice(const std::string& path, std::string* error) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrorText(path.c_str(), errno);
    return nullptr;
  }
  if (isatty(fd) && !MakeRaw(fd)) {
    *error = ErrorText(path.c_str(), errno);
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixSimPort>(fd, -1);
}

}  // namespace tillgate::regsim
