#pragma once
// How a system writes paths: the separator that joins a folder and a name,
// the folder a path lies in. Portable, so that both systems' forms are
// tested everywhere; this system's own form is the default.

#include <cstdint>
#include <string>

namespace tillgate {

enum class PathStyle : uint8_t {
  kPosix,    // "/srv/shop/goods"
  kWindows,  // "D:\Shop\Goods", "\\server\share\goods"; "/" is a separator too
};

// How this system writes paths.
PathStyle SystemPathStyle();

// `name` in `folder`. POSIX: folder + "/" + name, whatever the folder ends
// with. Windows: a backslash between them unless the folder ends with a
// separator ("D:\" + name), and `name` alone for an empty folder.
std::string JoinedPath(const std::string& folder, const std::string& name,
                       PathStyle style = SystemPathStyle());

// The folder `path` lies in: "." for a bare name; a root ("/", "D:\",
// "\\server\share") is its own parent.
std::string ParentFolder(const std::string& path, PathStyle style = SystemPathStyle());

}  // namespace tillgate
