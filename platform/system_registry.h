#pragma once
// The system's own registry as a settings store, where the system has one
// (Windows). Elsewhere a settings file in the registry's export format
// stands in for it (config/reg_file_store.h).

#include <memory>

#include "platform/registry_store.h"

namespace tillgate {

// Where the store's key paths start: HKEY_CURRENT_USER for a server run by
// someone at the console, HKEY_LOCAL_MACHINE\SOFTWARE for the service,
// which runs under no one's account.
enum class RegistryRoot { kCurrentUser, kLocalMachineSoftware };

// The registry under `root`, key paths relative to it ("Tillgate\\DataBase").
// Null where the system has no registry.
std::unique_ptr<RegistryStore> OpenSystemRegistry(RegistryRoot root);

}  // namespace tillgate
