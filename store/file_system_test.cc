#include "store/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "store/fault_file_system.h"
#include "store/store_test_util.h"

namespace tillgate {
namespace {

using testing::ScratchDir;

TEST(PosixFiles, CreateNewOpenTransferAndRemove) {
  ScratchDir dir;
  FileSystem* fs = PosixFileSystem();
  const std::string path = dir.File("a.dbf");
  std::unique_ptr<File> f;
  EXPECT_FALSE(fs->Exists(path));
  EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), FsStatus::kNotFound);
  ASSERT_EQ(fs->Create(path, OpenMode::kReadWriteExclusiveSync, &f), FsStatus::kOk);
  ASSERT_EQ(f->WriteAt(4, "data", 4), FsStatus::kOk);
  uint64_t size = 0;
  ASSERT_EQ(f->Size(&size), FsStatus::kOk);
  EXPECT_EQ(size, 8u);
  char buf[16];
  size_t got = 99;
  ASSERT_EQ(f->ReadAt(6, buf, sizeof buf, &got), FsStatus::kOk);
  EXPECT_EQ(got, 2u);  // short only at the end of the file
  EXPECT_EQ(std::string(buf, 2), "ta");
  ASSERT_EQ(f->ReadAt(100, buf, sizeof buf, &got), FsStatus::kOk);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(f->Close(), FsStatus::kOk);
  EXPECT_NE(f->WriteAt(0, "x", 1), FsStatus::kOk);  // closed

  std::unique_ptr<File> again;
  EXPECT_EQ(fs->Create(path, OpenMode::kReadWriteExclusiveSync, &again), FsStatus::kExists);
  EXPECT_EQ(again, nullptr);
  ASSERT_EQ(fs->Open(path, OpenMode::kReadOnlyExclusive, &again), FsStatus::kOk);
  EXPECT_NE(again->WriteAt(0, "x", 1), FsStatus::kOk);  // read only
  again.reset();
  EXPECT_EQ(fs->Unlink(path), FsStatus::kOk);
  EXPECT_EQ(fs->Unlink(path), FsStatus::kNotFound);
}

TEST(PosixFiles, RenameNeverReplacesATakenName) {
  ScratchDir dir;
  FileSystem* fs = PosixFileSystem();
  testing::WriteFile(dir.File("from"), "new");
  testing::WriteFile(dir.File("to"), "old");
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("to")), FsStatus::kExists);
  EXPECT_EQ(testing::ReadFile(dir.File("to")), "old");
  ASSERT_EQ(fs->Unlink(dir.File("to")), FsStatus::kOk);
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("to")), FsStatus::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("to")), "new");
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("x")), FsStatus::kNotFound);
}

// Another process holds a lock of `type` on `path` while `check` runs here.
template <typename Check>
void WithForeignLock(const std::string& path, short type, Check check) {
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(path.c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = type;
    const char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &ok, 1);
    char c;
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, 'y');
  check();
  (void)!write(done[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
}

TEST(PosixFiles, SharingIntentHoldsAgainstOtherPrograms) {
  ScratchDir dir;
  FileSystem* fs = PosixFileSystem();
  const std::string path = dir.File("tovars.dbf");
  testing::WriteFile(path, "goods");
  std::unique_ptr<File> f;
  // Another reader does not keep the goods file from us; a writer does.
  WithForeignLock(path, F_RDLCK, [&] {
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), FsStatus::kOk);
    f.reset();
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteExclusiveSync, &f), FsStatus::kLocked);
  });
  WithForeignLock(path, F_WRLCK, [&] {
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), FsStatus::kLocked);
    EXPECT_EQ(fs->Open(path, OpenMode::kReadOnlyExclusive, &f), FsStatus::kLocked);
  });
}

// Whether another process could take a lock of `type` on `path` now.
bool OthersCanLock(const std::string& path, short type) {
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(path.c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = type;
    _exit(fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(PosixFiles, ALockOutlivesOtherDescriptorsOfTheFileClosing) {
  ScratchDir dir;
  FileSystem* fs = PosixFileSystem();
  const std::string report = dir.File("otchet.dbf");
  const std::string goods = dir.File("tovars.dbf");
  testing::WriteFile(report, "report");
  testing::WriteFile(goods, "goods");
  std::unique_ptr<File> held_report, held_goods;
  ASSERT_EQ(fs->Open(report, OpenMode::kReadWriteExclusiveSync, &held_report), FsStatus::kOk);
  ASSERT_EQ(fs->Open(goods, OpenMode::kReadWriteOthersRead, &held_goods), FsStatus::kOk);
  // Anything else in the process opening and closing the same files (a
  // check, a test reading them back) must not release the locks.
  for (const std::string& path : {report, goods}) {
    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  EXPECT_EQ(testing::ReadFile(report), "report");
  EXPECT_FALSE(OthersCanLock(report, F_RDLCK));
  EXPECT_FALSE(OthersCanLock(goods, F_WRLCK));
  EXPECT_TRUE(OthersCanLock(goods, F_RDLCK));  // others may still read the goods
  // The locks belong to the open file: a second open of the report in this
  // process is refused like any other.
  std::unique_ptr<File> second;
  EXPECT_EQ(fs->Open(report, OpenMode::kReadWriteExclusiveSync, &second), FsStatus::kLocked);
  held_report.reset();
  EXPECT_TRUE(OthersCanLock(report, F_WRLCK));
}

TEST(PosixFiles, ErrnoResults) {
  // The system's own error is kept, and told in its words.
  ScratchDir dir;
  std::unique_ptr<File> f;
  const FsStatus missing =
      PosixFileSystem()->Open(dir.File("none"), OpenMode::kReadWriteOthersRead, &f);
  EXPECT_EQ(missing, FsStatus::kNotFound);
  EXPECT_EQ(missing.error_number(), ENOENT);
  EXPECT_EQ(missing.Reason(), "No such file or directory");
  EXPECT_EQ(StatusFromErrno(EROFS).Reason(), "Read-only file system");
  EXPECT_EQ(StatusFromErrno(EROFS), FsStatus::kDenied);
  // A result made without one reads as the error its kind stands for.
  EXPECT_EQ(FsStatus(FsStatus::kNoSpace).Reason(), "No space left on device");
  EXPECT_EQ(FsStatus(FsStatus::kShortTransfer).Reason(), "the write was cut short");
  EXPECT_EQ(FsStatus().Reason(), "");
  EXPECT_EQ(StatusFromErrno(0), FsStatus::kOk);
  EXPECT_EQ(StatusFromErrno(ENOENT), FsStatus::kNotFound);
  EXPECT_EQ(StatusFromErrno(EEXIST), FsStatus::kExists);
  EXPECT_EQ(StatusFromErrno(EAGAIN), FsStatus::kLocked);
  EXPECT_EQ(StatusFromErrno(ENOSPC), FsStatus::kNoSpace);
  EXPECT_EQ(StatusFromErrno(EACCES), FsStatus::kDenied);
  EXPECT_EQ(StatusFromErrno(EIO), FsStatus::kError);
}

TEST(PosixFiles, ReplacingRenameIdentitySyncAndCut) {
  ScratchDir dir;
  FileSystem* fs = PosixFileSystem();
  testing::WriteFile(dir.File("tovars.dbf"), "old");
  testing::WriteFile(dir.File("tovars2.dbf"), "new");
  std::unique_ptr<File> old_file;
  ASSERT_EQ(fs->Open(dir.File("tovars.dbf"), OpenMode::kReadWriteOthersRead, &old_file),
            FsStatus::kOk);
  FileIdentity held, named;
  ASSERT_EQ(old_file->Identity(&held), FsStatus::kOk);
  ASSERT_EQ(fs->Identity(dir.File("tovars.dbf"), &named), FsStatus::kOk);
  EXPECT_EQ(held, named);
  // The name moves to the new file in one step; the open one lives on.
  ASSERT_EQ(fs->RenameReplacing(dir.File("tovars2.dbf"), dir.File("tovars.dbf")), FsStatus::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("tovars.dbf")), "new");
  ASSERT_EQ(fs->Identity(dir.File("tovars.dbf"), &named), FsStatus::kOk);
  EXPECT_FALSE(held == named);
  char buf[4];
  size_t got = 0;
  ASSERT_EQ(old_file->ReadAt(0, buf, 3, &got), FsStatus::kOk);
  EXPECT_EQ(std::string(buf, got), "old");
  EXPECT_EQ(fs->Identity(dir.File("tovars2.dbf"), &named), FsStatus::kNotFound);
  EXPECT_EQ(fs->RenameReplacing(dir.File("tovars2.dbf"), dir.File("x")), FsStatus::kNotFound);

  ASSERT_EQ(old_file->WriteAt(3, "er data", 7), FsStatus::kOk);
  EXPECT_EQ(old_file->Sync(), FsStatus::kOk);
  ASSERT_EQ(old_file->Truncate(5), FsStatus::kOk);
  uint64_t size = 0;
  ASSERT_EQ(old_file->Size(&size), FsStatus::kOk);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(fs->SyncFolder(dir.path()), FsStatus::kOk);
  EXPECT_EQ(fs->SyncFolder(dir.File("none")), FsStatus::kNotFound);
  EXPECT_EQ(fs->MakeFolders(dir.File("a/b/c")), FsStatus::kOk);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  EXPECT_EQ(fs->MakeFolders(dir.File("tovars.dbf") + "/sub"), FsStatus::kNotFound);
}

TEST(FaultFiles, FailsTheChosenCallOnly) {
  ScratchDir dir;
  FaultFileSystem fs(PosixFileSystem());
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Create(dir.File("r.dbf"), OpenMode::kReadWriteExclusiveSync, &f), FsStatus::kOk);
  fs.FailNth(FsOp::kWrite, 2, "r.dbf", 1, FsStatus::kNoSpace);
  EXPECT_EQ(f->WriteAt(0, "a", 1), FsStatus::kOk);
  EXPECT_EQ(f->WriteAt(1, "b", 1), FsStatus::kNoSpace);
  EXPECT_EQ(f->WriteAt(1, "c", 1), FsStatus::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("r.dbf")), "ac");
  EXPECT_EQ(fs.Calls(FsOp::kWrite), 3);

  fs.FailAlways(FsOp::kOpen, "other.dbf");
  testing::WriteFile(dir.File("other.dbf"), "x");
  std::unique_ptr<File> g;
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), FsStatus::kError);
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), FsStatus::kError);
  fs.Clear();
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), FsStatus::kOk);
}

TEST(FaultFiles, ACrashLetsNothingMoreReachTheDisk) {
  ScratchDir dir;
  FaultFileSystem fs(PosixFileSystem());
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Create(dir.File("j"), OpenMode::kReadWriteExclusive, &f), FsStatus::kOk);
  fs.CrashAtWrite(2, /*torn=*/true);
  EXPECT_EQ(f->WriteAt(0, "abcd", 4), FsStatus::kOk);
  EXPECT_FALSE(fs.Crashed());
  EXPECT_EQ(f->WriteAt(4, "efgh", 4), FsStatus::kShortTransfer);  // half of it lands
  EXPECT_TRUE(fs.Crashed());
  EXPECT_NE(f->WriteAt(6, "xy", 2), FsStatus::kOk);
  EXPECT_NE(f->Truncate(0), FsStatus::kOk);
  EXPECT_NE(f->Sync(), FsStatus::kOk);
  std::unique_ptr<File> g;
  EXPECT_NE(fs.Create(dir.File("k"), OpenMode::kReadWriteExclusive, &g), FsStatus::kOk);
  EXPECT_NE(fs.RenameReplacing(dir.File("j"), dir.File("k")), FsStatus::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("j")), "abcdef");
  char buf[8];
  size_t got = 0;
  EXPECT_EQ(f->ReadAt(0, buf, sizeof buf, &got), FsStatus::kOk);  // reads go on
  // A renamed file keeps the rules of its new name.
  fs.Clear();
  ASSERT_EQ(fs.RenameReplacing(dir.File("j"), dir.File("journal")), FsStatus::kOk);
  fs.FailNth(FsOp::kSync, 1, "/journal");
  EXPECT_EQ(f->Sync(), FsStatus::kError);
}

}  // namespace
}  // namespace tillgate
