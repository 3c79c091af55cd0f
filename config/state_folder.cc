#include "config/state_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tillgate {
namespace {

std::string Value(const EnvironmentReader& environment, const char* name) {
  const char* value = environment(name);
  return value ? value : "";
}

// A service started without HOME still has an account with a home folder.
std::string AccountHome() {
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

}  // namespace

std::string StateFolderPath() {
  return StateFolderPath([](const char* name) { return std::getenv(name); });
}

std::string StateFolderPath(const EnvironmentReader& environment) {
  const std::string explicit_folder = Value(environment, "TILLGATE_STATE_DIR");
  if (!explicit_folder.empty()) return explicit_folder;
  const std::string xdg = Value(environment, "XDG_STATE_HOME");
  if (!xdg.empty()) return xdg + "/tillgate";
  std::string home = Value(environment, "HOME");
  if (home.empty()) home = AccountHome();
  if (!home.empty()) return home + "/.local/state/tillgate";
  return "tillgate-state";
}

}  // namespace tillgate
