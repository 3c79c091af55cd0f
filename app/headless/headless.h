#pragma once
// The server without a window: settings from the registry file, the station
// built, the stored start selection started at once, one line on standard
// error per notable event, the goods and report folders watched, SIGHUP
// running the Start action again, a clean stop on SIGINT or SIGTERM, and the
// service manager told when it is ready and when it stops.

namespace tillgate {

// `invocation` is how the usage text names the program ("tillgate-headless"
// or "tillgate --headless"). Returns the process exit code: 0 after a
// signalled stop (and for --help and --version), kExitSettingsRefused (78)
// when the settings cannot be loaded (settings_check.h), 1 when --check
// found a problem, 2 for a command-line mistake.
int RunHeadless(int argc, char** argv, const char* invocation);

}  // namespace tillgate
