// systemd as the service manager: the notification protocol (READY=1,
// STATUS=..., STOPPING=1 over $NOTIFY_SOCKET), through libsystemd where the
// build found it and sent directly otherwise, and the journal on standard
// error ($JOURNAL_STREAM).

#include "platform/posix/posix_service_host.h"

#include <stddef.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#ifdef TILLGATE_HAVE_LIBSYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace tillgate {
namespace {

// The status is one line of the notification.
std::string StatusLine(std::string_view status) {
  std::string line(status);
  for (char& c : line)
    if (c == '\n') c = ' ';
  return "STATUS=" + line;
}

// The notifications, whatever carries them.
class NotifyingHost : public ServiceHost {
 public:
  void Ready(std::string_view status) override { Notify("READY=1\n" + StatusLine(status)); }
  void SetStatus(std::string_view status) override { Notify(StatusLine(status)); }
  void Stopping() override { Notify("STOPPING=1\nSTATUS=stopping"); }

 protected:
  virtual void Notify(const std::string& state) = 0;
};

class NotifySocketHost final : public NotifyingHost {
 public:
  explicit NotifySocketHost(std::string socket) : socket_(std::move(socket)) {}

 private:
  // One datagram per notification, as the manager reads them; an absolute
  // path or an abstract name, nothing else.
  void Notify(const std::string& state) override {
    if (socket_.size() < 2 || (socket_[0] != '/' && socket_[0] != '@')) return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_.size() >= sizeof address.sun_path) return;
    socket_.copy(address.sun_path, socket_.size());
    if (socket_[0] == '@') address.sun_path[0] = '\0';
    // An abstract name is exactly as long as given; a path ends at its NUL.
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                                    socket_.size() + (socket_[0] == '/'));
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t sent =
        sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&address), length);
    close(fd);
  }

  std::string socket_;
};

#ifdef TILLGATE_HAVE_LIBSYSTEMD
class LibsystemdHost final : public NotifyingHost {
  void Notify(const std::string& state) override { sd_notify(0, state.c_str()); }
};
#endif

class NoHost final : public ServiceHost {
 public:
  void Ready(std::string_view) override {}
  void SetStatus(std::string_view) override {}
  void Stopping() override {}
};

}  // namespace

std::unique_ptr<ServiceHost> NewNotifySocketHost(std::string socket) {
  return std::make_unique<NotifySocketHost>(std::move(socket));
}

std::unique_ptr<ServiceHost> NewSystemServiceHost() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  if (socket == nullptr || *socket == '\0') return std::make_unique<NoHost>();
#ifdef TILLGATE_HAVE_LIBSYSTEMD
  return std::make_unique<LibsystemdHost>();
#else
  return NewNotifySocketHost(socket);
#endif
}

bool StreamIsJournal(int fd, const char* journal_stream) {
  if (journal_stream == nullptr) return false;
  uintmax_t device = 0;
  uintmax_t inode = 0;
  char rest = 0;
  if (std::sscanf(journal_stream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2)
    return false;
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  return static_cast<uintmax_t>(info.st_dev) == device &&
         static_cast<uintmax_t>(info.st_ino) == inode;
}

bool StandardErrorIsServiceLog() {
  return StreamIsJournal(STDERR_FILENO, std::getenv("JOURNAL_STREAM"));
}

}  // namespace tillgate
