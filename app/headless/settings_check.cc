#include "app/headless/settings_check.h"

#include "config/reg_file_store.h"
#include "platform/platform.h"

namespace tillgate {

LoadResult LoadServerSettings(const std::string& registry_path, const std::string& working_folder) {
  Status status;
  auto registry = OpenRegistryFileForReading(NewSystemFileLayer(), registry_path, &status);
  if (!status.ok()) return LoadResult{status, Settings()};
  return LoadSettings(*registry, working_folder);
}

int RunSettingsCheck(const std::string& registry_path, const std::string& working_folder,
                     EventSink* events) {
  const LoadResult loaded = LoadServerSettings(registry_path, working_folder);
  if (loaded.status.ok()) return 0;
  std::string reason = loaded.status.message();
  // A wrong value type is told without the file it is in.
  if (reason.find(registry_path) == std::string::npos)
    reason = "settings file " + registry_path + ": " + reason;
  Report(events, Severity::kError,
         reason + " (the server cannot start with these settings; mend them and start it again)");
  return kExitSettingsRefused;
}

}  // namespace tillgate
