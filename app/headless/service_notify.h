#pragma once
// Tells the service manager how the server is doing, through the systemd
// client library. Outside a notify-type service ($NOTIFY_SOCKET unset) every
// call does nothing; a failed notification never stops the server.

#include <string>
#include <string_view>

#include "store/status_board.h"

namespace tillgate {

// The status "systemctl status" shows, from the lines as the status board
// has them: "running, lines COM1, COM3" for the lines whose port is open,
// then the others named apart ("; port failed to open: COM2", "; port
// closed: COM4"), and lines whose transfers fail ("; transfers failing:
// COM3"). Ports without a line object are not named.
std::string ServiceStatusText(const StatusSnapshot& snapshot);

// The lines and the store are up; `status` is shown by "systemctl status".
void NotifyReady(std::string_view status);
// A new status text while running.
void NotifyStatus(std::string_view status);
// The server is stopping.
void NotifyStopping();

}  // namespace tillgate
