#pragma once
// Installation writes the key tree with its default values; removal deletes it.

#include <string>

#include "platform/registry_store.h"
#include "platform/status.h"

namespace tillgate {

inline constexpr char kDefaultMask[] = "25CCCCCWWWWW";
inline constexpr char kDefaultNameLines[] = "NC";

// Creates Tillgate, writes InPath and OutPath under DataBase, then COMn =
// {0,0,1}, MASKAn, STROKAn port by port and AvtoStart = 0 under Equipment.
// Stops at the first refused write with "Failed to set data for '<name>'";
// what was written before stays.
Status InstallDefaults(RegistryStore& store, const std::string& goods_folder,
                       const std::string& report_folder);

// Deletes every value and subkey under Tillgate and the key itself. True when
// the tree was deleted (the caller does not have to look at it).
bool RemoveInstallation(RegistryStore& store);

}  // namespace tillgate
