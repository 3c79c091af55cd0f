#include "platform/paths.h"

namespace tillgate {
namespace {

bool IsWindowsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the root of a Windows path ends: after "D:\" or "D:", after
// "\\server\share", after a leading "\"; 0 for a relative path.
size_t WindowsRootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':')
    return path.size() >= 3 && IsWindowsSeparator(path[2]) ? 3 : 2;
  if (path.size() >= 2 && IsWindowsSeparator(path[0]) && IsWindowsSeparator(path[1])) {
    size_t end = path.find_first_of("\\/", 2);                               // after the server
    if (end != std::string::npos) end = path.find_first_of("\\/", end + 1);  // after the share
    return end == std::string::npos ? path.size() : end;
  }
  return !path.empty() && IsWindowsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string JoinedPath(const std::string& folder, const std::string& name, PathStyle style) {
  if (style == PathStyle::kPosix) return folder + "/" + name;
  if (folder.empty()) return name;
  return IsWindowsSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

std::string ParentFolder(const std::string& path, PathStyle style) {
  if (style == PathStyle::kPosix) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
  }
  const size_t root = WindowsRootLength(path);
  const size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return root > 0 ? path.substr(0, root) : ".";
  return path.substr(0, cut < root ? root : cut);
}

}  // namespace tillgate
