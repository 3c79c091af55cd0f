#pragma once
// What the service manager shows of the server ("systemctl status"), from
// the lines as the status board has them.

#include <string>

#include "store/status_board.h"

namespace tillgate {

// "running, lines COM1, COM3" for the lines whose port is open, then the
// others named apart ("; port failed to open: COM2", "; port closed:
// COM4"), and lines whose transfers fail ("; transfers failing: COM3").
// Ports without a line object are not named.
std::string ServiceStatusText(const StatusSnapshot& snapshot);

}  // namespace tillgate
