#pragma once
// The server without a window: settings from the registry file, the station
// built, the stored start selection started at once, one line on standard
// error per notable event, a clean stop on SIGINT or SIGTERM.

namespace tillgate {

// Returns the process exit code: 0 after a signalled stop, 1 when the
// settings cannot be loaded, 2 for a command-line mistake.
int RunHeadless(int argc, char** argv);

}  // namespace tillgate
