// Where things live on POSIX: the XDG base folders, the account's home
// folder, /dev/ttyS<n>.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/locations.h"
#include "platform/paths.h"

namespace tillgate {
namespace {

// A variable set to the empty string counts as not set.
std::string Value(const EnvironmentReader& environment, const char* name) {
  const char* value = environment(name);
  return value ? value : "";
}

// A service started without HOME still has an account with a home folder.
std::string AccountHome() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return "";
}

std::string HomeFolder(const EnvironmentReader& environment) {
  const std::string home = Value(environment, "HOME");
  return home.empty() ? AccountHome() : home;
}

}  // namespace

EnvironmentReader SystemEnvironment() {
  return [](const char* name) -> const char* { return std::getenv(name); };
}

std::string SettingsFilePath(const EnvironmentReader& environment) {
  const std::string explicit_path = Value(environment, "TILLGATE_REGISTRY");
  if (!explicit_path.empty()) return explicit_path;
  std::string base = Value(environment, "XDG_CONFIG_HOME");
  if (base.empty()) base = HomeFolder(environment) + "/.config";
  return base + "/tillgate/HKEY_CURRENT_USER.reg";
}

// The same folder whoever runs the server: a service keeps its state where
// its account's XDG folders say.
std::string StateFolderPath(const EnvironmentReader& environment, Runner /*runner*/) {
  const std::string explicit_folder = Value(environment, "TILLGATE_STATE_DIR");
  if (!explicit_folder.empty()) return explicit_folder;
  const std::string xdg = Value(environment, "XDG_STATE_HOME");
  if (!xdg.empty()) return xdg + "/tillgate";
  const std::string home = HomeFolder(environment);
  if (!home.empty()) return home + "/.local/state/tillgate";
  return "tillgate-state";
}

PathStyle SystemPathStyle() { return PathStyle::kPosix; }

std::string DefaultDevicePath(int port_index) {
  if (port_index < 0 || port_index > 15) return "";
  return "/dev/ttyS" + std::to_string(port_index);
}

std::string WorkingFolder() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer)) return buffer;
  return ".";
}

}  // namespace tillgate
