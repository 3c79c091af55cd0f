// The shop's folders looked at again and again: each change told once.

#include "config/folder_reporter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/event_collector.h"
#include "config/settings_testing.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

TEST(FolderReporter, AMissingFolderIsToldOnceAndAgainWhenItIsBackOrChanges) {
  testing::ScratchDir base;
  const std::string goods = base.File("goods");
  Settings settings = InstalledWithFolders(goods, base.path());
  EventCollector events;
  FolderReporter folders(settings, SystemFileSystem(), &events);
  const std::string missing = SystemFileSystem().FolderAccess(goods).Reason();
  for (int i = 0; i < 3; ++i) folders.Check();
  ASSERT_TRUE(std::filesystem::create_directory(goods));
  folders.Check();
  folders.Check();
  // Gone again, and then a file where the folder was: a new reason.
  std::filesystem::remove(goods);
  folders.Check();
  testing::WriteFile(goods, "");
  const std::string not_a_folder = SystemFileSystem().FolderAccess(goods).Reason();
  folders.Check();
  folders.Check();
  const std::vector<CollectedEvent> seen = events.Events();
  ASSERT_EQ(seen.size(), 4u) << ::testing::PrintToString(events.Lines());
  // In the system's own words (POSIX: "No such file or directory", then
  // "Not a directory").
  EXPECT_EQ(seen[0].text, "goods folder (InPath) " + goods + ": " + missing);
  EXPECT_EQ(seen[0].condition, "goods folder");
  EXPECT_EQ(seen[0].severity, Severity::kError);
  EXPECT_EQ(seen[1].text, "goods folder (InPath) " + goods + " is usable again");
  EXPECT_TRUE(seen[1].cleared);
  EXPECT_EQ(seen[2].text, seen[0].text);
  EXPECT_EQ(seen[3].text, "goods folder (InPath) " + goods + ": " + not_a_folder);
  EXPECT_EQ(seen[3].condition, "goods folder");

  settings.installed = false;  // nothing is served, nothing is watched
  FolderReporter idle(settings, SystemFileSystem(), &events);
  events.Clear();
  idle.Check();
  EXPECT_TRUE(events.Events().empty());
}

}  // namespace
}  // namespace tillgate
