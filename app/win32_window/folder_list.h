#pragma once
// Choosing a folder with the system's own controls: a drive list (the
// volumes that are ready) moving a folder list (the current folder, its
// parents and its sub-folders). The operator enters a folder by
// double-clicking it or pressing Enter on it.

#include <windows.h>

#include <string>
#include <vector>

namespace tillgate {

// The reason `path` cannot be entered as a folder, or empty when it can.
std::string FolderProblem(const std::wstring& path);
// `path` made absolute, without a trailing separator except at a root.
std::wstring NormalFolder(const std::wstring& path);

struct FolderEntry {
  std::wstring label;  // indented by its depth
  std::wstring path;
};
// The root first, each folder down to `folder`, then its sub-folders by
// name; *current is the entry of `folder` itself.
std::vector<FolderEntry> FolderEntries(const std::wstring& folder, int* current);

class FolderList {
 public:
  FolderList(HWND list, HWND drives);

  // Moves to `path` and lists it. False, with the reason in *error, when it
  // cannot be entered: the list stays where it was.
  bool Enter(const std::wstring& path, std::string* error);
  // The entry at the list's cursor; the drive chosen in the drive list.
  bool EnterSelected(std::string* error);
  bool EnterChosenDrive(std::string* error);

  const std::wstring& folder() const { return folder_; }
  HWND list() const { return list_; }
  HWND drives() const { return drives_; }

 private:
  void Fill();
  void ShowDrive();

  HWND list_;
  HWND drives_;
  std::wstring folder_;
  std::vector<std::wstring> paths_;  // of the list's entries
  std::vector<std::wstring> roots_;  // of the drive list's entries
};

}  // namespace tillgate
