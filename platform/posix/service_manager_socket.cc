#include "platform/posix/service_manager_socket.h"

#include <poll.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>

namespace tillgate::testing {

ServiceManagerSocket::ServiceManagerSocket(const std::string& name) : name_(name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (name.empty() || name.size() >= sizeof address.sun_path) return;
  name.copy(address.sun_path, name.size());
  const bool abstract = name[0] == '@';
  if (abstract) address.sun_path[0] = '\0';
  const socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 0 : 1));
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

ServiceManagerSocket::~ServiceManagerSocket() {
  if (fd_ >= 0) close(fd_);
  if (!name_.empty() && name_[0] == '/') unlink(name_.c_str());
}

bool ServiceManagerSocket::WaitFor(const std::string& text, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (received_.find(text) == std::string::npos && fd_ >= 0) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[1024];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) received_.append(buffer, static_cast<size_t>(n)).append("\n");
  }
  return received_.find(text) != std::string::npos;
}

}  // namespace tillgate::testing
