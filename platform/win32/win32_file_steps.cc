#include "platform/win32/win32_file_steps.h"

#include <windows.h>
// after windows.h
#include <sddl.h>

#include <memory>
#include <vector>

#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

// The account this process runs as, as a SID string ("S-1-5-21-...").
std::wstring ProcessAccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::wstring result;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    wchar_t* text = nullptr;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    if (ConvertSidToStringSidW(user->User.Sid, &text)) {
      result = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return result;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The folder above `folder`; empty at a root ("C:\", "\\server\share\",
// a relative name without a separator).
std::wstring ParentFolder(std::wstring folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  size_t cut = folder.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut == 0) return std::wstring();
  std::wstring parent = folder.substr(0, cut);
  if (parent.back() == L':') return std::wstring();  // a drive's root is there or not
  if (parent.size() >= 2 && IsSeparator(parent[0]) && IsSeparator(parent[1]) &&
      parent.find_first_of(L"\\/", 2) == std::wstring::npos)
    return std::wstring();  // "\\server": a share is no folder to make
  return parent;
}

Status FolderAt(const std::wstring& folder, bool* exists) {
  *exists = false;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Status::Ok();
    return StatusFromWin32(error);
  }
  *exists = true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Status::kNotAFolder;
  return Status::Ok();
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

OwnerOnlySecurity::OwnerOnlySecurity() {
  const std::wstring account = ProcessAccountSid();
  std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  if (!account.empty()) sddl += L"(A;OICI;FA;;;" + account + L")";
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                           &descriptor_, nullptr)) {
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
}

OwnerOnlySecurity::~OwnerOnlySecurity() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}

SECURITY_ATTRIBUTES* OwnerOnlySecurity::get() {
  return descriptor_ != nullptr ? &attributes_ : nullptr;
}

bool FileOnTheWay(const std::wstring& path) {
  for (size_t cut = path.find_last_of(L"\\/"); cut != std::wstring::npos && cut > 0;
       cut = path.find_last_of(L"\\/", cut - 1)) {
    const DWORD attributes = GetFileAttributesW(path.substr(0, cut).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  return false;
}

Status MakeFolderTree(const std::wstring& folder) {
  bool exists = false;
  Status found = FolderAt(folder, &exists);
  if (!found.ok() || exists) return found;
  const std::wstring parent = ParentFolder(folder);
  if (!parent.empty()) {
    Status made = MakeFolderTree(parent);
    if (!made.ok()) return made;
  }
  OwnerOnlySecurity security;
  if (CreateDirectoryW(folder.c_str(), security.get())) return Status::Ok();
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) {  // made by someone else meanwhile
    found = FolderAt(folder, &exists);
    if (found.ok() && exists) return Status::Ok();
    return found.ok() ? StatusFromWin32(error) : found;
  }
  return StatusFromWin32(error);
}

Status MoveReplacing(const std::wstring& from, const std::wstring& to) {
  // Windows refuses to replace a read-only file (wine does not).
  if (IsReadOnly(to)) return StatusFromWin32(ERROR_ACCESS_DENIED);
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return Status::Ok();
  const DWORD moved = GetLastError();
  if (moved != ERROR_ACCESS_DENIED && moved != ERROR_SHARING_VIOLATION)
    return StatusFromWin32(moved);
  // ReplaceFileW wants whole paths (wine fails relative ones).
  const std::wstring full_from = FullPath(from);
  const std::wstring full_to = FullPath(to);
  if (ReplaceFileW(full_to.c_str(), full_from.c_str(), nullptr,
                   REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                   nullptr))
    return Status::Ok();
  const DWORD replaced = GetLastError();
  switch (replaced) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The old file has lost its name and the new one could not take it:
      // the name must not stay empty.
      if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Status::Ok();
      return LastWin32Error();
    case ERROR_SHARING_VIOLATION:
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      return Status(Status::kBusy, "the file is in use (" + Win32ErrorText(replaced) + ")",
                    static_cast<int>(replaced));
    default:
      return StatusFromWin32(replaced);
  }
}

}  // namespace tillgate
