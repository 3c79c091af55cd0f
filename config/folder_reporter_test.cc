// The shop's folders looked at again and again: each change told once.

#include "config/folder_reporter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "config/event_collector.h"
#include "config/settings_testing.h"

namespace tillgate {
namespace {

TEST(FolderReporter, AMissingFolderIsToldOnceAndAgainWhenItIsBackOrChanges) {
  char base[] = "/tmp/tillgate-reporter-XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  const std::string goods = std::string(base) + "/goods";
  Settings settings = InstalledWithFolders(goods, base);
  EventCollector events;
  FolderReporter folders(settings, &events);
  for (int i = 0; i < 3; ++i) folders.Check();
  ASSERT_EQ(mkdir(goods.c_str(), 0755), 0);
  folders.Check();
  folders.Check();
  // Gone again, and then a file where the folder was: a new reason.
  std::filesystem::remove(goods);
  folders.Check();
  {
    std::FILE* f = std::fopen(goods.c_str(), "w");
    std::fclose(f);
  }
  folders.Check();
  folders.Check();
  const std::vector<CollectedEvent> seen = events.Events();
  ASSERT_EQ(seen.size(), 4u) << ::testing::PrintToString(events.Lines());
  EXPECT_EQ(seen[0].text, "goods folder (InPath) " + goods + ": No such file or directory");
  EXPECT_EQ(seen[0].condition, "goods folder");
  EXPECT_EQ(seen[0].severity, Severity::kError);
  EXPECT_EQ(seen[1].text, "goods folder (InPath) " + goods + " is usable again");
  EXPECT_TRUE(seen[1].cleared);
  EXPECT_EQ(seen[2].text, seen[0].text);
  EXPECT_NE(seen[3].text, seen[0].text);
  EXPECT_EQ(seen[3].condition, "goods folder");
  std::filesystem::remove_all(base);

  settings.installed = false;  // nothing is served, nothing is watched
  FolderReporter idle(settings, &events);
  events.Clear();
  idle.Check();
  EXPECT_TRUE(events.Events().empty());
}

}  // namespace
}  // namespace tillgate
