#include "app/headless/settings_source.h"

#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "platform/platform.h"

namespace tillgate {

SettingsSource::SettingsSource(std::string path) : where_(std::move(path)) {}

SettingsSource SettingsSource::Registry(RegistryRoot root) {
  SettingsSource source{std::string()};
  source.is_file_ = false;
  source.root_ = root;
  source.where_ = std::string(RegistryRootName(root)) + "\\" + kRootKey;
  return source;
}

SettingsSource SettingsSource::ForServer(const EnvironmentReader& environment, Runner runner) {
  const char* explicit_file = environment("TILLGATE_REGISTRY");
  if (explicit_file != nullptr && *explicit_file != '\0') return SettingsSource(explicit_file);
  const RegistryRoot root =
      runner == Runner::kService ? RegistryRoot::kLocalMachineSoftware : RegistryRoot::kCurrentUser;
  if (OpenSystemRegistry(root) != nullptr) return Registry(root);
  return SettingsSource(SettingsFilePath(environment));
}

std::unique_ptr<RegistryStore> SettingsSource::OpenForReading(Status* status) const {
  *status = Status::kOk;
  if (is_file_) return OpenRegistryFileForReading(NewSystemFileLayer(), where_, status);
  auto store = OpenSystemRegistry(root_);
  if (store == nullptr) *status = Status(Status::kNotSupported, "this system has no registry");
  return store;
}

const char* RegistryRootName(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachineSoftware ? "HKEY_LOCAL_MACHINE\\SOFTWARE"
                                                     : "HKEY_CURRENT_USER";
}

}  // namespace tillgate
