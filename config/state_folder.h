#pragma once
// The state folder: where the server keeps what it writes as it runs and
// what must outlive a run (the journal of open documents, the status file,
// protocol traces): $TILLGATE_STATE_DIR, else $XDG_STATE_HOME/tillgate, else
// ~/.local/state/tillgate. Shared by everything that writes there, so that
// they all agree on one place.

#include <functional>
#include <string>

namespace tillgate {

// Reads an environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char* name)>;

// The state folder as the environment names it (a variable set to the empty
// string counts as not set). Without HOME the account's home folder is used;
// without either, "tillgate-state" in the working folder, so that the
// journal is never silently off. Does not create it: whoever writes there
// creates it when needed.
std::string StateFolderPath();
std::string StateFolderPath(const EnvironmentReader& environment);

}  // namespace tillgate
