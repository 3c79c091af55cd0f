#pragma once
// The settings file's layer on a POSIX file system, and the folder making
// the POSIX file system shares with it.

#include <functional>
#include <memory>
#include <string>

#include "platform/file_layer.h"

namespace tillgate {

// Creates `folder` and its missing parents (readable by the owner only): 0,
// or the errno value of the failure.
int MakeFolders(const std::string& folder);

// Flushes the entries of a folder to disk: 0, or the errno value of the failure.
using FolderSync = std::function<int(const std::string& folder)>;
// The file layer flushing folders through `sync_folder` (tests make it fail).
std::unique_ptr<FileLayer> NewPosixFileLayer(FolderSync sync_folder);

}  // namespace tillgate
