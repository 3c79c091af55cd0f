#include "config/state_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tillgate {
namespace {

TEST(StateFolder, FromTheEnvironmentInItsOrder) {
  std::map<std::string, std::string> env;
  auto read = [&](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
  // Without HOME: the account's home folder, which root and every service
  // account have.
  EXPECT_NE(StateFolderPath(read).find("/.local/state/tillgate"), std::string::npos);
  env["HOME"] = "/home/shop";
  EXPECT_EQ(StateFolderPath(read), "/home/shop/.local/state/tillgate");
  env["XDG_STATE_HOME"] = "/var/state";
  EXPECT_EQ(StateFolderPath(read), "/var/state/tillgate");
  env["TILLGATE_STATE_DIR"] = "/var/lib/tillgate";
  EXPECT_EQ(StateFolderPath(read), "/var/lib/tillgate");
  // A variable set to nothing counts as not set.
  env["TILLGATE_STATE_DIR"] = "";
  env["XDG_STATE_HOME"] = "";
  EXPECT_EQ(StateFolderPath(read), "/home/shop/.local/state/tillgate");
}

}  // namespace
}  // namespace tillgate
