#include "app/headless/service_setup.h"

#include <string>

#include "app/headless/settings_source.h"
#include "config/registry_names.h"
#include "config/settings_transfer.h"
#include "platform/system_registry.h"
#include "platform/system_service.h"

namespace tillgate {
namespace {

// The machine's settings, copied from the user's when it has none. True
// when the machine has settings afterwards.
bool EnsureMachineSettings(std::FILE* out, std::FILE* err) {
  const std::string machine_key =
      SettingsSource::Registry(RegistryRoot::kLocalMachineSoftware).Where();
  auto machine = OpenSystemRegistry(RegistryRoot::kLocalMachineSoftware);
  auto user = OpenSystemRegistry(RegistryRoot::kCurrentUser);
  if (machine == nullptr || user == nullptr) return false;
  if (machine->KeyExists(kRootKey)) {
    std::fprintf(out, "the service reads the settings already in %s\n", machine_key.c_str());
    return true;
  }
  const std::string user_key = SettingsSource::Registry(RegistryRoot::kCurrentUser).Where();
  const RegDocument settings = ExportSettings(*user, RegistryRootName(RegistryRoot::kCurrentUser));
  if (settings.keys.empty()) {
    std::fprintf(out,
                 "no settings in %s nor %s: the service is not started (import settings with "
                 "--import FILE and run --install-service again)\n",
                 user_key.c_str(), machine_key.c_str());
    return false;
  }
  const ImportResult copied = ImportSettings(settings, *machine);
  if (!copied.status.ok()) {
    std::fprintf(err, "--install-service: %s: %s\n", machine_key.c_str(),
                 copied.status.message().c_str());
    return false;
  }
  std::fprintf(out, "%d value(s) copied from %s to %s for the service\n", copied.values,
               user_key.c_str(), machine_key.c_str());
  return true;
}

int Install(std::FILE* out, std::FILE* err) {
  const bool settings = EnsureMachineSettings(out, err);
  ServiceDefinition service;
  service.name = kServiceName;
  service.display_name = "Tillgate cash-register server";
  service.description =
      "Serves the cash registers on the serial ports set in HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate";
  service.arguments = {"--service"};
  const Status installed = InstallSystemService(service);
  if (!installed.ok()) {
    std::fprintf(err, "--install-service: %s\n", installed.message().c_str());
    return 1;
  }
  std::fprintf(out, "service %s registered\n", kServiceName);
  if (!settings) return 0;
  const Status started = StartSystemService(kServiceName);
  if (!started.ok()) {
    std::fprintf(err, "--install-service: the service did not start: %s\n",
                 started.message().c_str());
    return 1;
  }
  std::fprintf(out, "service %s started\n", kServiceName);
  return 0;
}

int Remove(std::FILE* out, std::FILE* err) {
  const Status removed = RemoveSystemService(kServiceName);
  if (removed == Status::kNotFound) {
    std::fprintf(out, "no service %s is registered\n", kServiceName);
    return 0;
  }
  if (!removed.ok()) {
    std::fprintf(err, "--remove-service: %s\n", removed.message().c_str());
    return 1;
  }
  std::fprintf(out, "service %s stopped and removed; settings, journal and the shop's files stay\n",
               kServiceName);
  return 0;
}

}  // namespace

int RunServiceAction(ServiceAction action, std::FILE* out, std::FILE* err) {
  if (action == ServiceAction::kInstall) return Install(out, err);
  if (action == ServiceAction::kRemove) return Remove(out, err);
  return 0;
}

}  // namespace tillgate
