#pragma once
// Whether a configured folder can serve as the goods or report folder, said
// in one line that names the setting and gives the system's reason.

#include <string>
#include <string_view>

namespace tillgate {

// True for a value written for Windows: a drive letter ("D:", "d:\...") or
// any backslash. Such a value never names a usable folder here.
bool LooksLikeWindowsPath(std::string_view folder);

// 0 when `folder` is a folder this process can enter and write in, else
// the reason as an errno value (ENOTDIR for something else by that name).
int FolderAccessError(const std::string& folder);

// Empty when `folder` is a folder the server can enter and write in.
// Otherwise one line such as
//   goods folder (InPath) /srv/shop/goods: No such file or directory
//   goods folder (InPath) "D:\Товары" is a Windows path: set a local folder
//   such as /srv/shop/goods in the settings file
// `role` is "goods folder" or "report folder", `value_name` the setting.
std::string FolderProblem(std::string_view role, std::string_view value_name,
                          const std::string& folder);

}  // namespace tillgate
