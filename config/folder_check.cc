#include "config/folder_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tillgate {

bool LooksLikeWindowsPath(std::string_view folder) {
  const bool drive =
      folder.size() >= 2 && folder[1] == ':' &&
      ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  return drive || folder.find('\\') != std::string_view::npos;
}

int FolderAccessError(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  if (access(folder.c_str(), W_OK | X_OK) != 0) return errno;
  return 0;
}

std::string FolderProblem(std::string_view role, std::string_view value_name,
                          const std::string& folder) {
  const std::string what = std::string(role) + " (" + std::string(value_name) + ")";
  if (folder.empty()) return what + " is empty: set a local folder in the settings file";
  if (LooksLikeWindowsPath(folder)) {
    return what + " \"" + folder + "\" is a Windows path: set a local folder such as /srv/shop/" +
           (role.find("report") != std::string_view::npos ? "reports" : "goods") +
           " in the settings file";
  }
  const int error = FolderAccessError(folder);
  if (error == 0) return "";
  return what + " " + folder + ": " + std::strerror(error);
}

}  // namespace tillgate
