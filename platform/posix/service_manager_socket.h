#pragma once
// For tests: the service manager's end of NOTIFY_SOCKET, a datagram socket
// bound at a path or (name starting with '@') in the abstract namespace.

#include <string>

namespace tillgate::testing {

class ServiceManagerSocket {
 public:
  explicit ServiceManagerSocket(const std::string& name);
  ~ServiceManagerSocket();
  ServiceManagerSocket(const ServiceManagerSocket&) = delete;
  ServiceManagerSocket& operator=(const ServiceManagerSocket&) = delete;

  bool ok() const { return fd_ >= 0; }
  // The name to put in NOTIFY_SOCKET.
  const std::string& Name() const { return name_; }
  // Collects notifications, each followed by "\n", until one contains
  // `text` or `timeout_ms` pass; whether one did.
  bool WaitFor(const std::string& text, int timeout_ms);
  const std::string& Received() const { return received_; }
  void Clear() { received_.clear(); }

 private:
  std::string name_;
  int fd_ = -1;
  std::string received_;
};

}  // namespace tillgate::testing
