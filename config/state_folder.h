#pragma once
// The folder where the server keeps what must outlive a run of it (the
// journal of open documents, and other state files): $TILLGATE_STATE_DIR,
// else $XDG_STATE_HOME/tillgate, else ~/.local/state/tillgate.

#include <functional>
#include <string>

namespace tillgate {

// Reads an environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char* name)>;

// The state folder as the environment names it (a variable set to the empty
// string counts as not set); empty when not even HOME is set. Does not
// create it: whoever writes there creates it when needed.
std::string StateFolderPath();
std::string StateFolderPath(const EnvironmentReader& environment);

}  // namespace tillgate
