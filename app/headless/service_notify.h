#pragma once
// Tells the service manager how the server is doing, through the systemd
// client library. Outside a notify-type service ($NOTIFY_SOCKET unset) every
// call does nothing; a failed notification never stops the server.

#include <string_view>

namespace tillgate {

// The lines and the store are up; `status` is shown by "systemctl status".
void NotifyReady(std::string_view status);
// A new status text while running.
void NotifyStatus(std::string_view status);
// The server is stopping.
void NotifyStopping();

}  // namespace tillgate
