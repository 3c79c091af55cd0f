#include "app/win32_window/folder_list.h"

#include <algorithm>

#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

bool IsRoot(const std::wstring& path) {
  return path.size() == 3 && path[1] == L':' && path[2] == L'\\';
}

std::wstring Parent(const std::wstring& path) {
  if (IsRoot(path)) return {};
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::wstring LastName(const std::wstring& path) {
  if (IsRoot(path)) return path;
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Indent(int depth) { return std::wstring(static_cast<size_t>(depth) * 2, L' '); }

std::vector<std::wstring> ReadyRoots() {
  std::vector<std::wstring> roots;
  wchar_t buffer[512] = {};
  const DWORD length = GetLogicalDriveStringsW(511, buffer);
  if (length == 0 || length > 511) return roots;
  for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1) {
    const UINT type = GetDriveTypeW(root);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
    // A drive without a medium would only answer with an error.
    if (GetFileAttributesW(root) == INVALID_FILE_ATTRIBUTES) continue;
    roots.emplace_back(root);
  }
  return roots;
}

}  // namespace

std::string FolderProblem(const std::wstring& path) {
  if (path.empty()) return "I/O error: empty folder name";
  const std::string shown = Utf8FromWide(path);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return "I/O error: folder '" + shown + "' does not exist";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return "I/O error: '" + shown + "' is not a folder";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(
      (NormalFolder(path) + (IsRoot(NormalFolder(path)) ? L"*" : L"\\*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
    return "I/O error: folder '" + shown + "' cannot be entered";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return {};
}

std::wstring NormalFolder(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  std::wstring full = length == 0 || length >= MAX_PATH * 2 ? path : std::wstring(buffer, length);
  std::replace(full.begin(), full.end(), L'/', L'\\');
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full;
}

std::vector<FolderEntry> FolderEntries(const std::wstring& folder, int* current) {
  std::vector<std::wstring> chain;
  for (std::wstring up = folder; !up.empty(); up = Parent(up)) chain.insert(chain.begin(), up);
  std::vector<FolderEntry> entries;
  int depth = 0;
  for (const std::wstring& path : chain)
    entries.push_back({Indent(depth++) + LastName(path), path});
  if (current) *current = static_cast<int>(entries.size()) - 1;

  // Sub-folders: a folder we may not read simply lists none.
  std::vector<std::wstring> names;
  const std::wstring base = IsRoot(folder) ? folder : folder + L"\\";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((base + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || name == L"." || name == L"..")
        continue;
      names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  for (const std::wstring& name : names) entries.push_back({Indent(depth) + name, base + name});
  return entries;
}

FolderList::FolderList(HWND list, HWND drives) : list_(list), drives_(drives) {
  roots_ = ReadyRoots();
  for (const std::wstring& root : roots_)
    SendMessageW(drives_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root.c_str()));
}

bool FolderList::Enter(const std::wstring& path, std::string* error) {
  const std::wstring normal = NormalFolder(path);
  const std::string problem = FolderProblem(normal);
  if (!problem.empty()) {
    if (error) *error = problem;
    return false;
  }
  folder_ = normal;
  Fill();
  ShowDrive();
  return true;
}

bool FolderList::EnterSelected(std::string* error) {
  const LRESULT item = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (item < 0 || static_cast<size_t>(item) >= paths_.size()) return true;
  return Enter(paths_[static_cast<size_t>(item)], error);
}

bool FolderList::EnterChosenDrive(std::string* error) {
  const LRESULT item = SendMessageW(drives_, CB_GETCURSEL, 0, 0);
  if (item < 0 || static_cast<size_t>(item) >= roots_.size()) return true;
  if (Enter(roots_[static_cast<size_t>(item)], error)) return true;
  ShowDrive();
  return false;
}

void FolderList::Fill() {
  int current = 0;
  const std::vector<FolderEntry> entries = FolderEntries(folder_, &current);
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  paths_.clear();
  for (const FolderEntry& entry : entries) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.label.c_str()));
    paths_.push_back(entry.path);
  }
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void FolderList::ShowDrive() {
  // The volume holding the folder is the one whose root starts its path.
  int best = -1;
  for (size_t i = 0; i < roots_.size(); ++i)
    if (CompareStringOrdinal(folder_.c_str(), 3, roots_[i].c_str(), 3, TRUE) == CSTR_EQUAL)
      best = static_cast<int>(i);
  SendMessageW(drives_, CB_SETCURSEL, static_cast<WPARAM>(best), 0);
}

}  // namespace tillgate
