#include "platform/posix/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace tillgate {

PtyPair::PtyPair() {
  int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  char name[128];
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    close(fd);
    return;
  }
  // Terminal settings set on the master apply to the slave.
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
  }
  master_ = fd;
  slave_path_ = name;
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
}

bool PtyPair::Send(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      pollfd pfd{master_, POLLOUT, 0};
      poll(&pfd, 1, 10);
    } else {
      return false;
    }
  }
  return true;
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int timeout_ms) {
  std::vector<uint8_t> out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  uint8_t buffer[256];
  while (out.size() < count) {
    size_t want = std::min(count - out.size(), sizeof buffer);
    ssize_t n = read(master_, buffer, want);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd pfd{master_, POLLIN, 0};
    // Without an open slave the master reports a hang-up; wait out the slice.
    if (poll(&pfd, 1, static_cast<int>(left.count())) > 0 && !(pfd.revents & POLLIN)) usleep(1000);
  }
  return out;
}

std::vector<uint8_t> PtyPair::Drain() {
  std::vector<uint8_t> out;
  uint8_t buffer[256];
  for (;;) {
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return out;
    }
  }
}

bool PtyPair::WaitReadable(int timeout_ms) {
  pollfd pfd{master_, POLLIN, 0};
  if (poll(&pfd, 1, timeout_ms) <= 0) return false;
  if (pfd.revents & POLLIN) return true;
  usleep(2000);  // a hang-up: no slave open yet
  return false;
}

}  // namespace tillgate
