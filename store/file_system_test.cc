#include "store/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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
  EXPECT_EQ(StatusFromErrno(0), FsStatus::kOk);
  EXPECT_EQ(StatusFromErrno(ENOENT), FsStatus::kNotFound);
  EXPECT_EQ(StatusFromErrno(EEXIST), FsStatus::kExists);
  EXPECT_EQ(StatusFromErrno(EAGAIN), FsStatus::kLocked);
  EXPECT_EQ(StatusFromErrno(ENOSPC), FsStatus::kNoSpace);
  EXPECT_EQ(StatusFromErrno(EACCES), FsStatus::kDenied);
  EXPECT_EQ(StatusFromErrno(EIO), FsStatus::kError);
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

}  // namespace
}  // namespace tillgate
