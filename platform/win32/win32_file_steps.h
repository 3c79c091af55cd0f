#pragma once
// File steps the file system and the settings file layer share: making a
// folder tree, and putting one file in the place of another.

#include <string>

#include "platform/status.h"

namespace tillgate {

// Creates `folder` and its missing parents; a new folder is open to this
// account, the administrators and the system only (not inherited from the
// parent), as a state folder must be. Ok when it is there as a folder.
Status MakeFolderTree(const std::wstring& folder);

// Puts `from` in the place of `to` in one step. MoveFileExW replaces a
// closed file; while someone holds `to` open (a reader of the goods file,
// a monitoring tool on the status file) it is refused, and ReplaceFileW can
// still do it when every holder allows deletion. kBusy when neither can do
// it now, so that the caller tries again later; kDenied for a read-only
// target.
Status MoveReplacing(const std::wstring& from, const std::wstring& to);

}  // namespace tillgate
