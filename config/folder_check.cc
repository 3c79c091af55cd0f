#include "config/folder_check.h"

namespace tillgate {
namespace {

std::string What(std::string_view role, std::string_view value_name) {
  return std::string(role) + " (" + std::string(value_name) + ")";
}

bool IsReport(std::string_view role) { return role.find("report") != std::string_view::npos; }

}  // namespace

bool LooksLikeWindowsPath(std::string_view folder) {
  const bool drive =
      folder.size() >= 2 && folder[1] == ':' &&
      ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  return drive || folder.find('\\') != std::string_view::npos;
}

bool LooksForeign(std::string_view folder, PathStyle style) {
  if (style == PathStyle::kPosix) return LooksLikeWindowsPath(folder);
  return !folder.empty() && folder[0] == '/' && (folder.size() == 1 || folder[1] != '/');
}

// Windows keeps the settings in the registry, POSIX in a settings file.
std::string FolderSettingProblem(std::string_view role, std::string_view value_name,
                                 const std::string& folder, PathStyle style) {
  const std::string what = What(role, value_name);
  const bool windows = style == PathStyle::kWindows;
  if (folder.empty())
    return what + " is empty: set a local folder in the settings" + (windows ? "" : " file");
  if (!LooksForeign(folder, style)) return "";
  if (windows) {
    return what + " \"" + folder + "\" is a Linux path: set a folder of this PC such as " +
           (IsReport(role) ? "D:\\Shop\\Reports" : "D:\\Shop\\Goods") + " in the settings";
  }
  return what + " \"" + folder + "\" is a Windows path: set a local folder such as /srv/shop/" +
         (IsReport(role) ? "reports" : "goods") + " in the settings file";
}

std::string FolderProblem(FileSystem& files, std::string_view role, std::string_view value_name,
                          const std::string& folder, PathStyle style) {
  std::string problem = FolderSettingProblem(role, value_name, folder, style);
  if (!problem.empty()) return problem;
  const Status access = files.FolderAccess(folder);
  if (access.ok()) return "";
  return What(role, value_name) + " " + folder + ": " + access.Reason();
}

}  // namespace tillgate
