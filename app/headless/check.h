#pragma once
// `--check`: loads the settings, prints the configuration the server would
// run with and every problem that can be seen without serving (folders, the
// goods file, the state folder and what its journal keeps, serial devices,
// values written for Windows). Opens no port, changes no file and takes no
// lock: it may run beside the server.

#include <cstdio>
#include <string>

#include "app/headless/settings_source.h"
#include "platform/file_system.h"

namespace tillgate {

// Writes the report to `out`; returns 0 when no problem was found, 1
// otherwise (the settings file itself unreadable included).
// `state_folder` is where the server keeps its journal.
int RunCheck(const SettingsSource& source, const std::string& working_folder,
             const std::string& state_folder, std::FILE* out);

// Why settings loaded from `source` are not installed: the file is not
// there (with the system's reason), or it lacks the key Tillgate (the
// registry has no such key).
std::string NotInstalledReason(FileSystem& files, const SettingsSource& source);

}  // namespace tillgate
