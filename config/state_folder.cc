#include "config/state_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tillgate {
namespace {

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

// $HOME, else the user's entry in the password database (a service started
// without HOME).
const char* HomeFolder() {
  const char* home = std::getenv("HOME");
  if (Set(home)) return home;
  const passwd* entry = getpwuid(getuid());
  return entry ? entry->pw_dir : nullptr;
}

}  // namespace

std::string StateFolderFrom(const char* state_dir, const char* xdg_state_home, const char* home) {
  if (Set(state_dir)) return state_dir;
  if (Set(xdg_state_home)) return std::string(xdg_state_home) + "/tillgate";
  if (Set(home)) return std::string(home) + "/.local/state/tillgate";
  return "tillgate-state";
}

std::string StateFolder() {
  return StateFolderFrom(std::getenv("TILLGATE_STATE_DIR"), std::getenv("XDG_STATE_HOME"),
                         HomeFolder());
}

}  // namespace tillgate
