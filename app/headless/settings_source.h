#pragma once
// Where the server reads its settings: a settings file standing for
// HKEY_CURRENT_USER (POSIX, or $TILLGATE_REGISTRY anywhere), or the
// system's own registry (Windows: HKEY_CURRENT_USER for a server started
// from a console, HKEY_LOCAL_MACHINE\SOFTWARE for the service).

#include <memory>
#include <string>

#include "platform/locations.h"
#include "platform/registry_store.h"
#include "platform/status.h"
#include "platform/system_registry.h"

namespace tillgate {

class SettingsSource {
 public:
  // The settings file at `path`. Implicit: a path names a file source.
  SettingsSource(std::string path);  // NOLINT(google-explicit-constructor)
  SettingsSource(const char* path) : SettingsSource(std::string(path)) {}  // NOLINT
  // The system's registry under `root`.
  static SettingsSource Registry(RegistryRoot root);

  // What the server run by `runner` reads: $TILLGATE_REGISTRY when set and
  // not empty; else the system's registry where there is one; else the
  // settings file (SettingsFilePath).
  static SettingsSource ForServer(const EnvironmentReader& environment, Runner runner);

  bool IsFile() const { return is_file_; }
  // The file's path, or the key: "HKEY_CURRENT_USER\Tillgate".
  const std::string& Where() const { return where_; }
  // "settings file" or "registry key", as a line names what it read.
  const char* Kind() const { return is_file_ ? "settings file" : "registry key"; }
  // Kind() and Where() together.
  std::string Name() const { return std::string(Kind()) + " " + where_; }

  // The store to read the settings from; null with *status saying why
  // (a settings file that cannot be read or parsed).
  std::unique_ptr<RegistryStore> OpenForReading(Status* status) const;

 private:
  bool is_file_ = true;
  RegistryRoot root_ = RegistryRoot::kCurrentUser;
  std::string where_;
};

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE\SOFTWARE".
const char* RegistryRootName(RegistryRoot root);

}  // namespace tillgate
