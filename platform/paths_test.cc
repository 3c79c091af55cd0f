// Both systems' paths, joined and taken apart on either system.

#include "platform/paths.h"

#include <gtest/gtest.h>

namespace tillgate {
namespace {

TEST(Paths, JoinedAsEachSystemWritesThem) {
  // POSIX: a slash whatever the folder ends with ("//" is a path too).
  EXPECT_EQ(JoinedPath("/srv/shop", "tovars.dbf", PathStyle::kPosix), "/srv/shop/tovars.dbf");
  EXPECT_EQ(JoinedPath("/srv/shop/", "journal", PathStyle::kPosix), "/srv/shop//journal");
  EXPECT_EQ(JoinedPath("state", "trace", PathStyle::kPosix), "state/trace");
  // Windows: one backslash between, none after a separator or a bare drive.
  EXPECT_EQ(JoinedPath("C:\\ProgramData\\Tillgate", "journal", PathStyle::kWindows),
            "C:\\ProgramData\\Tillgate\\journal");
  EXPECT_EQ(JoinedPath("D:\\", "otchet.dbf", PathStyle::kWindows), "D:\\otchet.dbf");
  EXPECT_EQ(JoinedPath("D:/shop/", "tovars.dbf", PathStyle::kWindows), "D:/shop/tovars.dbf");
  EXPECT_EQ(JoinedPath("", "journal", PathStyle::kWindows), "journal");
}

TEST(Paths, TheFolderAPathLiesIn) {
  for (const auto& [path, parent] :
       {std::pair{"/var/lib/tillgate", "/var/lib"}, std::pair{"/var", "/"}, std::pair{"/", "/"},
        std::pair{"tillgate-state", "."}, std::pair{"a/b", "a"}})
    EXPECT_EQ(ParentFolder(path, PathStyle::kPosix), parent) << path;
  // A backslash is a name's character on POSIX.
  EXPECT_EQ(ParentFolder("C:\\Users\\a", PathStyle::kPosix), ".");
  for (const auto& [path, parent] :
       {std::pair{"C:\\Users\\Кассир\\AppData", "C:\\Users\\Кассир"},
        std::pair{"C:\\Users", "C:\\"}, std::pair{"C:\\", "C:\\"}, std::pair{"C:", "C:"},
        std::pair{"C:Tillgate", "C:"}, std::pair{"D:/shop/goods", "D:/shop"},
        std::pair{"\\\\server\\share\\goods", "\\\\server\\share"},
        std::pair{"\\\\server\\share", "\\\\server\\share"},
        std::pair{"\\\\server\\share\\", "\\\\server\\share"}, std::pair{"\\Tillgate", "\\"},
        std::pair{"\\", "\\"}, std::pair{"tillgate-state", "."}, std::pair{"a\\b", "a"}})
    EXPECT_EQ(ParentFolder(path, PathStyle::kWindows), parent) << path;
  // Going up always ends: every root is its own parent.
  for (const char* start : {"C:\\a\\b\\c", "\\\\s\\x\\y", "a\\b", "\\a"}) {
    std::string path = start;
    int steps = 0;
    while (ParentFolder(path, PathStyle::kWindows) != path && steps < 10) {
      path = ParentFolder(path, PathStyle::kWindows);
      ++steps;
    }
    EXPECT_LT(steps, 10) << start;
  }
}

}  // namespace
}  // namespace tillgate
