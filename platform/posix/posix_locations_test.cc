#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/locations.h"

namespace tillgate {
namespace {

// An environment of the test's own.
class Environment {
 public:
  EnvironmentReader Reader() {
    return [this](const char* name) -> const char* {
      const auto it = values_.find(name);
      return it == values_.end() ? nullptr : it->second.c_str();
    };
  }
  std::string& operator[](const std::string& name) { return values_[name]; }

 private:
  std::map<std::string, std::string> values_;
};

TEST(Locations, StateFolderFromTheEnvironmentInItsOrder) {
  Environment env;
  const EnvironmentReader read = env.Reader();
  // Without HOME: the account's home folder, which root and every service
  // account have.
  EXPECT_NE(StateFolderPath(read).find("/.local/state/tillgate"), std::string::npos);
  EXPECT_NE(StateFolderPath(read), "/.local/state/tillgate");
  env["HOME"] = "/home/shop";
  EXPECT_EQ(StateFolderPath(read), "/home/shop/.local/state/tillgate");
  env["XDG_STATE_HOME"] = "/var/state";
  EXPECT_EQ(StateFolderPath(read), "/var/state/tillgate");
  env["TILLGATE_STATE_DIR"] = "/var/lib/tillgate";
  EXPECT_EQ(StateFolderPath(read), "/var/lib/tillgate");
  // The same for the service manager's runs.
  EXPECT_EQ(StateFolderPath(read, Runner::kService), "/var/lib/tillgate");
  // A variable set to nothing counts as not set.
  env["TILLGATE_STATE_DIR"] = "";
  env["XDG_STATE_HOME"] = "";
  EXPECT_EQ(StateFolderPath(read), "/home/shop/.local/state/tillgate");
}

TEST(Locations, SettingsFileFromTheEnvironmentInItsOrder) {
  Environment env;
  const EnvironmentReader read = env.Reader();
  // The account's home folder from the password database.
  const std::string without_home = SettingsFilePath(read);
  EXPECT_NE(without_home.rfind("/.config/tillgate/HKEY_CURRENT_USER.reg"), std::string::npos);
  EXPECT_NE(without_home, "/.config/tillgate/HKEY_CURRENT_USER.reg");
  env["HOME"] = "/home/op";
  EXPECT_EQ(SettingsFilePath(read), "/home/op/.config/tillgate/HKEY_CURRENT_USER.reg");
  env["XDG_CONFIG_HOME"] = "/xdg";
  EXPECT_EQ(SettingsFilePath(read), "/xdg/tillgate/HKEY_CURRENT_USER.reg");
  env["TILLGATE_REGISTRY"] = "/x/my.reg";
  EXPECT_EQ(SettingsFilePath(read), "/x/my.reg");
  env["TILLGATE_REGISTRY"] = "";
  env["XDG_CONFIG_HOME"] = "";
  EXPECT_EQ(SettingsFilePath(read), "/home/op/.config/tillgate/HKEY_CURRENT_USER.reg");
}

TEST(Locations, DevicesTheProcessAndItsFolder) {
  EXPECT_EQ(DefaultDevicePath(0), "/dev/ttyS0");
  EXPECT_EQ(DefaultDevicePath(15), "/dev/ttyS15");
  EXPECT_EQ(DefaultDevicePath(-1), "");
  EXPECT_EQ(DefaultDevicePath(16), "");
  EXPECT_EQ(WorkingFolder(), std::filesystem::current_path().string());
  // The process's own environment.
  EXPECT_NE(SystemEnvironment()("PATH"), nullptr);
  EXPECT_EQ(SystemEnvironment()("TILLGATE_SURELY_NOT_SET_ANYWHERE"), nullptr);
}

}  // namespace
}  // namespace tillgate
