#include "config/folder_check.h"

namespace tillgate {
namespace {

std::string What(std::string_view role, std::string_view value_name) {
  return std::string(role) + " (" + std::string(value_name) + ")";
}

}  // namespace

bool LooksLikeWindowsPath(std::string_view folder) {
  const bool drive =
      folder.size() >= 2 && folder[1] == ':' &&
      ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  return drive || folder.find('\\') != std::string_view::npos;
}

std::string FolderSettingProblem(std::string_view role, std::string_view value_name,
                                 const std::string& folder) {
  const std::string what = What(role, value_name);
  if (folder.empty()) return what + " is empty: set a local folder in the settings file";
  if (LooksLikeWindowsPath(folder)) {
    return what + " \"" + folder + "\" is a Windows path: set a local folder such as /srv/shop/" +
           (role.find("report") != std::string_view::npos ? "reports" : "goods") +
           " in the settings file";
  }
  return "";
}

std::string FolderProblem(FileSystem& files, std::string_view role, std::string_view value_name,
                          const std::string& folder) {
  std::string problem = FolderSettingProblem(role, value_name, folder);
  if (!problem.empty()) return problem;
  const Status access = files.FolderAccess(folder);
  if (access.ok()) return "";
  return What(role, value_name) + " " + folder + ": " + access.Reason();
}

}  // namespace tillgate
