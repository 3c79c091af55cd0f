#pragma once
// File steps the file system and the settings file layer share: making a
// folder tree, and putting one file in the place of another.

#include <windows.h>

#include <string>

#include "platform/status.h"

namespace tillgate {

// A protected DACL: full control for the system, the administrators and the
// account this process runs as, inherited by everything made inside. What
// the state folder and the server's own files get.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity();
  ~OwnerOnlySecurity();
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;
  // Null (the default security) when the descriptor could not be made.
  SECURITY_ATTRIBUTES* get();

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

// Whether a name on the way to `path` is a file, not a folder (Windows
// says only that the path was not found).
bool FileOnTheWay(const std::wstring& path);

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
