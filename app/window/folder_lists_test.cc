// Folder and drive lists.

#include "app/window/folder_lists.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <filesystem>

#include "app/window/window_test_support.h"

namespace tillgate::testing {
namespace {

TEST(DirectoryListBox, ListsParentsAndSubFoldersAndRefusesMissingFolders) {
  EnsureApplication();
  ScratchDir dir;
  std::filesystem::create_directories(dir.path() + "/b/inner");
  std::filesystem::create_directories(dir.path() + "/a");
  WriteFile(dir.File("file.txt"), "x");
  DirectoryListBox list;
  QSignalSpy changed(&list, &DirectoryListBox::Changed);
  QString error;
  ASSERT_TRUE(list.SetDirectory(QString::fromStdString(dir.path()), &error));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(list.Directory(), QString::fromStdString(dir.path()));
  const int n = list.count();
  ASSERT_GE(n, 3);
  EXPECT_EQ(list.item(0)->text().trimmed(), "/");
  EXPECT_EQ(list.item(n - 2)->text().trimmed(), "a");
  EXPECT_EQ(list.item(n - 1)->text().trimmed(), "b");  // files are not listed

  EXPECT_FALSE(list.SetDirectory(QString::fromStdString(dir.path() + "/nope"), &error));
  EXPECT_TRUE(error.contains("nope"));
  EXPECT_FALSE(list.SetDirectory(QString::fromStdString(dir.File("file.txt")), &error));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(list.Directory(), QString::fromStdString(dir.path()));

  // Entering a sub-folder from the list.
  emit list.itemActivated(list.item(n - 1));
  EXPECT_EQ(list.Directory(), QString::fromStdString(dir.path() + "/b"));
  EXPECT_EQ(list.item(list.count() - 1)->text().trimmed(), "inner");
}

TEST(DriveComboBox, ListsMountedVolumesAndFollowsItsList) {
  EnsureApplication();
  ScratchDir dir;
  DirectoryListBox list;
  DriveComboBox drives;
  drives.SetDirList(&list);
  ASSERT_GT(drives.count(), 0);
  EXPECT_GE(drives.findText("/"), 0);
  ASSERT_TRUE(list.SetDirectory(QString::fromStdString(dir.path()), nullptr));
  EXPECT_TRUE(QString::fromStdString(dir.path()).startsWith(drives.currentText()));
  emit drives.activated(drives.findText("/"));
  EXPECT_EQ(list.Directory(), "/");
}

}  // namespace
}  // namespace tillgate::testing
