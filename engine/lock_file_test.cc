// The lock file: one holder at a time, taken by the next once the holder
// lets go, and taken anew when the file was deleted under its holder.

#include "engine/lock_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ScratchDir;

TEST(LockFile, OneHolderAtATimeTheNextOnceLetGo) {
  ScratchDir dir;
  const std::string path = dir.File("status.json.lock");
  LockFile first(&SystemFileSystem(), path);
  LockFile second(&SystemFileSystem(), path);
  ASSERT_TRUE(first.Hold().ok());
  EXPECT_TRUE(first.Hold().ok());  // kept, not taken twice
#ifndef _WIN32
  EXPECT_EQ(testing::PermissionBits(path), 0600);
#endif
  EXPECT_EQ(second.Hold().code(), Status::kBusy);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_TRUE(second.Hold().ok());
  EXPECT_EQ(first.Hold().code(), Status::kBusy);
  EXPECT_TRUE(std::filesystem::exists(path));  // the file stays; only the lock moves

  // A folder that is not there is no lock held by another.
  LockFile nowhere(&SystemFileSystem(), dir.File("none/status.json.lock"));
  EXPECT_EQ(nowhere.Hold().code(), Status::kNotFound);
}

TEST(LockFile, ALockFileDeletedUnderItsHolderIsTakenAnewByOneOnly) {
  ScratchDir dir;
  const std::string path = dir.File("status.json.lock");
  LockFile first(&SystemFileSystem(), path);
  LockFile second(&SystemFileSystem(), path);
  ASSERT_TRUE(first.Hold().ok());
  std::filesystem::remove(path);
  if (!std::filesystem::exists(path)) {
    // The name is gone at once (POSIX, newer Windows): the second locks the
    // new file; the first finds its name gone and does not go on as if it
    // still held the lock.
    EXPECT_TRUE(second.Hold().ok());
    EXPECT_EQ(first.Hold().code(), Status::kBusy);
    EXPECT_FALSE(first.Held());
    EXPECT_TRUE(second.Hold().ok());
  } else {
    // The name stays until its holder lets go (Windows' older delete, wine):
    // nobody can make the file anew meanwhile, so the second is refused,
    // and the first, whose file is no longer named, makes it anew.
    EXPECT_FALSE(second.Hold().ok());
    EXPECT_TRUE(first.Hold().ok());
    EXPECT_FALSE(second.Hold().ok());
  }
  EXPECT_NE(first.Held(), second.Held());  // one holder, never two
}

}  // namespace
}  // namespace tillgate
