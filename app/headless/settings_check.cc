#include "app/headless/settings_check.h"

namespace tillgate {

LoadResult LoadServerSettings(const SettingsSource& source, const std::string& working_folder) {
  Status status;
  auto registry = source.OpenForReading(&status);
  if (!status.ok()) return LoadResult{status, Settings()};
  return LoadSettings(*registry, working_folder);
}

int RunSettingsCheck(const SettingsSource& source, const std::string& working_folder,
                     EventSink* events) {
  const LoadResult loaded = LoadServerSettings(source, working_folder);
  if (loaded.status.ok()) return 0;
  std::string reason = loaded.status.message();
  // A wrong value type is told without the file it is in.
  if (reason.find(source.Where()) == std::string::npos) reason = source.Name() + ": " + reason;
  Report(events, Severity::kError,
         reason + " (the server cannot start with these settings; mend them and start it again)");
  return kExitSettingsRefused;
}

}  // namespace tillgate
