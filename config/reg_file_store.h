#pragma once
// The settings store kept in a registry export file (".reg" text).

#include <memory>
#include <string>

#include "platform/file_layer.h"
#include "platform/registry_store.h"
#include "platform/status.h"

namespace tillgate {

// Opens the registry file at `path` through `files` (missing file = empty
// registry). Every change is written back at once by replacing the whole
// file. When the file cannot be read or parsed, *status holds the reason
// (with the line number for a parse failure) and the store returned has no
// keys and refuses every write, so the file is never overwritten. Never
// returns null.
std::unique_ptr<RegistryStore> OpenRegistryFile(std::shared_ptr<FileLayer> files,
                                                const std::string& path, Status* status);

// The same, but the store refuses every write (as it does for a file that
// cannot be parsed), so the file is never touched: for the headless server
// and --check, which only read the settings.
std::unique_ptr<RegistryStore> OpenRegistryFileForReading(std::shared_ptr<FileLayer> files,
                                                          const std::string& path, Status* status);

}  // namespace tillgate
