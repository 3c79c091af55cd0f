#pragma once
// Whether a configured folder can serve as the goods or report folder, said
// in one line that names the setting and gives the system's reason.

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/paths.h"

namespace tillgate {

// True for a value written for Windows: a drive letter ("D:", "d:\...") or
// any backslash. Such a value never names a usable folder on POSIX.
bool LooksLikeWindowsPath(std::string_view folder);

// True for a value written for another system than one of `style`: on
// POSIX a Windows path, on Windows a POSIX absolute path ("/srv/shop";
// "//server/share" is a Windows share).
bool LooksForeign(std::string_view folder, PathStyle style = SystemPathStyle());

// What is wrong with the value itself, before any folder is looked at: it
// is empty, or written for the other system. Empty when neither.
std::string FolderSettingProblem(std::string_view role, std::string_view value_name,
                                 const std::string& folder, PathStyle style = SystemPathStyle());

// Empty when `folder` is a folder the server can enter and write in.
// Otherwise one line such as
//   goods folder (InPath) /srv/shop/goods: No such file or directory
//   goods folder (InPath) "D:\Товары" is a Windows path: set a local folder
//   such as /srv/shop/goods in the settings file
// `role` is "goods folder" or "report folder", `value_name` the setting.
std::string FolderProblem(FileSystem& files, std::string_view role, std::string_view value_name,
                          const std::string& folder, PathStyle style = SystemPathStyle());

}  // namespace tillgate
