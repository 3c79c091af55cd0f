#pragma once
// The system's service manager, told how the server is doing: systemd
// through its notification socket, the Windows service control manager
// through the service's status. Outside a service every call does nothing;
// a failed notification never stops the server.

#include <memory>
#include <string_view>

namespace tillgate {

class ServiceHost {
 public:
  virtual ~ServiceHost() = default;
  // The lines and the store are up; `status` is what the manager shows
  // ("systemctl status").
  virtual void Ready(std::string_view status) = 0;
  // A new status text while running.
  virtual void SetStatus(std::string_view status) = 0;
  // The server is stopping.
  virtual void Stopping() = 0;
};

// The host of this process: systemd when $NOTIFY_SOCKET names one (through
// libsystemd where the build found it), else one that does nothing.
std::unique_ptr<ServiceHost> NewSystemServiceHost();

// True when standard error is the service manager's log (systemd's journal:
// $JOURNAL_STREAM names the file open there), which stamps each line's time
// itself and reads a priority prefix.
bool StandardErrorIsServiceLog();

}  // namespace tillgate
