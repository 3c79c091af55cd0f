#pragma once
// Where things live on this system: the settings file, the state folder,
// the serial device a port opens when its settings name none, the working
// folder. Each is read from the environment where the system's conventions
// say so, through a reader that tests replace.

#include <functional>
#include <string>

namespace tillgate {

// Reads an environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char* name)>;

// The process's own environment.
EnvironmentReader SystemEnvironment();

// Who runs the server: someone at a console (or a desktop), or the system's
// service manager. On Windows they keep their state in different places.
enum class Runner { kConsole, kService };

// The settings file standing for HKEY_CURRENT_USER where the system has no
// registry: $TILLGATE_REGISTRY when set and not empty, else
// $XDG_CONFIG_HOME/tillgate/HKEY_CURRENT_USER.reg (~/.config when unset).
std::string SettingsFilePath(const EnvironmentReader& environment);

// The state folder (journal, status file, traces, the service's log):
// $TILLGATE_STATE_DIR when set and not empty; else on POSIX
// $XDG_STATE_HOME/tillgate, else ~/.local/state/tillgate (the account's home
// folder when HOME is unset), else "tillgate-state" in the working folder,
// so that the journal is never silently off; on Windows
// %LOCALAPPDATA%\Tillgate for a console, %ProgramData%\Tillgate for the
// service. Not created here.
std::string StateFolderPath(const EnvironmentReader& environment, Runner runner = Runner::kConsole);

// The device port `port_index` (0..15) opens when DEVICEn is not set:
// "/dev/ttyS0" for COM1 on POSIX, "\\.\COM1" on Windows. Empty for an index
// outside 0..15.
std::string DefaultDevicePath(int port_index);

// The process's current folder; "." when it cannot be told.
std::string WorkingFolder();

}  // namespace tillgate
