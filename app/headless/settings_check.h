#pragma once
// The settings as the server starts with them, and `--check-settings`, the
// check the service runs before it starts the server. Only what keeps the
// server from starting at all is fatal: a settings file that cannot be read
// or parsed, or a value of the wrong type; a restart cannot mend those, so
// the service fails once with the reason instead of starting again and
// again. Everything the server copes with while it runs is not: a settings
// file that is not there or has no key Tillgate (the server runs and says
// that it serves nothing), a missing folder or goods file, a serial device
// not there yet (each is served once it appears), a state folder it cannot
// use (goods messages are refused until it can). `--check` tells all of
// those.

#include <string>

#include "app/headless/settings_source.h"
#include "config/event_sink.h"
#include "config/settings.h"

namespace tillgate {

// The exit status of the server, and of --check-settings, for settings it
// cannot use: EX_CONFIG, which the service unit does not restart on.
inline constexpr int kExitSettingsRefused = 78;

// Reads the settings the server runs with from `source`; the status says
// why they cannot be used.
LoadResult LoadServerSettings(const SettingsSource& source, const std::string& working_folder);

// Says nothing and returns 0 when the server can start with the settings in
// `source`; otherwise tells why on `events`, as an error naming the file or
// key, and returns kExitSettingsRefused.
int RunSettingsCheck(const SettingsSource& source, const std::string& working_folder,
                     EventSink* events);

}  // namespace tillgate
