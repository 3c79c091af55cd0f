#pragma once
// The state folder: where the server keeps what it writes as it runs and
// what must outlive a run (journal, status, protocol traces). Shared by
// everything that writes there, so that they all agree on one place.

#include <string>

namespace tillgate {

// $TILLGATE_STATE_DIR, else $XDG_STATE_HOME/tillgate, else
// ~/.local/state/tillgate. Not created here.
std::string StateFolder();

// The same rule over given values (null or empty: unset). Without a home
// folder either, the working folder's "tillgate-state".
std::string StateFolderFrom(const char* state_dir, const char* xdg_state_home, const char* home);

}  // namespace tillgate
