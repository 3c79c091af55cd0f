// The settings file on what only POSIX file systems have: permission bits
// that keep the settings private, and symbolic links.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config/reg_file_store.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ReadFile;

std::unique_ptr<RegistryStore> Open(const std::string& path, Status* status) {
  return OpenRegistryFile(NewSystemFileLayer(), path, status);
}

TEST(RegistryFilePosix, SettingsStayPrivateToTheUser) {
  testing::ScratchDir scratch;
  const std::string path = scratch.path() + "/conf/tillgate/HKEY_CURRENT_USER.reg";
  Status status;
  auto store = Open(path, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_TRUE(store->OpenKey("Tillgate\\DataBase", true));
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status(path).permissions() & (perms::group_all | perms::others_all),
            perms::none);
}

// Settings kept elsewhere (a shared or versioned folder) and linked into
// place: writes must reach the linked file and leave the link a link.
TEST(RegistryFilePosix, LinkedFileIsWrittenThroughTheLink) {
  testing::ScratchDir scratch;
  const std::string root = scratch.path();
  std::string kept = root + "/kept/settings.reg";
  std::string link = root + "/conf/HKEY_CURRENT_USER.reg";
  ASSERT_TRUE(std::filesystem::create_directory(root + "/kept"));
  ASSERT_TRUE(std::filesystem::create_directory(root + "/conf"));
  std::ofstream(kept) << "REGEDIT4\r\n";
  std::filesystem::create_symlink("../kept/settings.reg", link);
  Status status;
  auto store = Open(link, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_TRUE(store->OpenKey("Tillgate", true));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(kept), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root + "/kept"))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"settings.reg"});
}

}  // namespace
}  // namespace tillgate
