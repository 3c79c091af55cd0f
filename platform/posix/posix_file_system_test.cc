#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/fault_file_system.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/posix/posix_status.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ScratchDir;

TEST(PosixFiles, CreateNewOpenTransferAndRemove) {
  ScratchDir dir;
  FileSystem* fs = &SystemFileSystem();
  const std::string path = dir.File("a.dbf");
  std::unique_ptr<File> f;
  EXPECT_FALSE(fs->Exists(path));
  EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), Status::kNotFound);
  ASSERT_EQ(fs->Create(path, OpenMode::kReadWriteExclusiveSync, Readers::kEveryone, &f),
            Status::kOk);
  ASSERT_EQ(f->WriteAt(4, "data", 4), Status::kOk);
  uint64_t size = 0;
  ASSERT_EQ(f->Size(&size), Status::kOk);
  EXPECT_EQ(size, 8u);
  char buf[16];
  size_t got = 99;
  ASSERT_EQ(f->ReadAt(6, buf, sizeof buf, &got), Status::kOk);
  EXPECT_EQ(got, 2u);  // short only at the end of the file
  EXPECT_EQ(std::string(buf, 2), "ta");
  ASSERT_EQ(f->ReadAt(100, buf, sizeof buf, &got), Status::kOk);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(f->Close(), Status::kOk);
  EXPECT_NE(f->WriteAt(0, "x", 1), Status::kOk);  // closed

  std::unique_ptr<File> again;
  EXPECT_EQ(fs->Create(path, OpenMode::kReadWriteExclusiveSync, Readers::kEveryone, &again),
            Status::kExists);
  EXPECT_EQ(again, nullptr);
  ASSERT_EQ(fs->Open(path, OpenMode::kReadOnlyExclusive, &again), Status::kOk);
  EXPECT_NE(again->WriteAt(0, "x", 1), Status::kOk);  // read only
  again.reset();
  EXPECT_EQ(fs->Unlink(path), Status::kOk);
  EXPECT_EQ(fs->Unlink(path), Status::kNotFound);
}

// The server's own files and the folders it makes are its owner's alone
// whatever the umask lets through; the shop's files stay readable by the
// other shop software.
TEST(PosixFiles, CreatedFilesAndFoldersHaveTheModeTheirReadersNeed) {
  ScratchDir dir;
  FileSystem* fs = &SystemFileSystem();
  const mode_t umask_before = umask(0);
  const auto mode_of = [](const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
  };
  std::unique_ptr<File> own;
  std::unique_ptr<File> shop;
  EXPECT_EQ(fs->Create(dir.File("journal"), OpenMode::kReadWriteExclusive, Readers::kOwner, &own),
            Status::kOk);
  EXPECT_EQ(fs->Create(dir.File("otchet.dbf"), OpenMode::kReadWriteExclusiveSync,
                       Readers::kEveryone, &shop),
            Status::kOk);
  EXPECT_EQ(fs->MakeFolders(dir.File("state/trace")), Status::kOk);
  umask(umask_before);
  EXPECT_EQ(mode_of(dir.File("journal")), 0600u);
  EXPECT_EQ(mode_of(dir.File("otchet.dbf")), 0644u);
  EXPECT_EQ(mode_of(dir.File("state")), 0700u);
  EXPECT_EQ(mode_of(dir.File("state/trace")), 0700u);
}

TEST(PosixFiles, RenameNeverReplacesATakenName) {
  ScratchDir dir;
  FileSystem* fs = &SystemFileSystem();
  testing::WriteFile(dir.File("from"), "new");
  testing::WriteFile(dir.File("to"), "old");
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("to")), Status::kExists);
  EXPECT_EQ(testing::ReadFile(dir.File("to")), "old");
  ASSERT_EQ(fs->Unlink(dir.File("to")), Status::kOk);
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("to")), Status::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("to")), "new");
  EXPECT_EQ(fs->Rename(dir.File("from"), dir.File("x")), Status::kNotFound);
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
  FileSystem* fs = &SystemFileSystem();
  const std::string path = dir.File("tovars.dbf");
  testing::WriteFile(path, "goods");
  std::unique_ptr<File> f;
  // Another reader does not keep the goods file from us; a writer does.
  WithForeignLock(path, F_RDLCK, [&] {
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), Status::kOk);
    f.reset();
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteExclusiveSync, &f), Status::kBusy);
  });
  WithForeignLock(path, F_WRLCK, [&] {
    EXPECT_EQ(fs->Open(path, OpenMode::kReadWriteOthersRead, &f), Status::kBusy);
    EXPECT_EQ(fs->Open(path, OpenMode::kReadOnlyExclusive, &f), Status::kBusy);
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
  FileSystem* fs = &SystemFileSystem();
  const std::string report = dir.File("otchet.dbf");
  const std::string goods = dir.File("tovars.dbf");
  testing::WriteFile(report, "report");
  testing::WriteFile(goods, "goods");
  std::unique_ptr<File> held_report, held_goods;
  ASSERT_EQ(fs->Open(report, OpenMode::kReadWriteExclusiveSync, &held_report), Status::kOk);
  ASSERT_EQ(fs->Open(goods, OpenMode::kReadWriteOthersRead, &held_goods), Status::kOk);
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
  EXPECT_EQ(fs->Open(report, OpenMode::kReadWriteExclusiveSync, &second), Status::kBusy);
  held_report.reset();
  EXPECT_TRUE(OthersCanLock(report, F_WRLCK));
}

TEST(PosixFiles, ErrnoResults) {
  // The system's own error is kept, and told in its words.
  ScratchDir dir;
  std::unique_ptr<File> f;
  const Status missing =
      SystemFileSystem().Open(dir.File("none"), OpenMode::kReadWriteOthersRead, &f);
  EXPECT_EQ(missing, Status::kNotFound);
  EXPECT_EQ(missing.error_number(), ENOENT);
  EXPECT_EQ(missing.Reason(), "No such file or directory");
  EXPECT_EQ(StatusFromErrno(EROFS).Reason(), "Read-only file system");
  EXPECT_EQ(StatusFromErrno(EROFS), Status::kDenied);
  // A result made without one reads as the error its kind stands for.
  EXPECT_EQ(Status(Status::kNoSpace).Reason(), "No space left on device");
  EXPECT_EQ(Status(Status::kShortTransfer).Reason(), "the write was cut short");
  EXPECT_EQ(Status().Reason(), "");
  EXPECT_EQ(StatusFromErrno(0), Status::kOk);
  EXPECT_EQ(StatusFromErrno(ENOENT), Status::kNotFound);
  EXPECT_EQ(StatusFromErrno(EEXIST), Status::kExists);
  EXPECT_EQ(StatusFromErrno(EAGAIN), Status::kBusy);
  EXPECT_EQ(StatusFromErrno(ENOSPC), Status::kNoSpace);
  EXPECT_EQ(StatusFromErrno(EACCES), Status::kDenied);
  EXPECT_EQ(StatusFromErrno(EIO), Status::kError);
}

TEST(PosixFiles, ReplacingRenameIdentitySyncAndCut) {
  ScratchDir dir;
  FileSystem* fs = &SystemFileSystem();
  testing::WriteFile(dir.File("tovars.dbf"), "old");
  testing::WriteFile(dir.File("tovars2.dbf"), "new");
  std::unique_ptr<File> old_file;
  ASSERT_EQ(fs->Open(dir.File("tovars.dbf"), OpenMode::kReadWriteOthersRead, &old_file),
            Status::kOk);
  FileIdentity held, named;
  ASSERT_EQ(old_file->Identity(&held), Status::kOk);
  ASSERT_EQ(fs->Identity(dir.File("tovars.dbf"), &named), Status::kOk);
  EXPECT_EQ(held, named);
  // The name moves to the new file in one step; the open one lives on.
  ASSERT_EQ(fs->RenameReplacing(dir.File("tovars2.dbf"), dir.File("tovars.dbf")), Status::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("tovars.dbf")), "new");
  ASSERT_EQ(fs->Identity(dir.File("tovars.dbf"), &named), Status::kOk);
  EXPECT_FALSE(held == named);
  char buf[4];
  size_t got = 0;
  ASSERT_EQ(old_file->ReadAt(0, buf, 3, &got), Status::kOk);
  EXPECT_EQ(std::string(buf, got), "old");
  EXPECT_EQ(fs->Identity(dir.File("tovars2.dbf"), &named), Status::kNotFound);
  EXPECT_EQ(fs->RenameReplacing(dir.File("tovars2.dbf"), dir.File("x")), Status::kNotFound);

  ASSERT_EQ(old_file->WriteAt(3, "er data", 7), Status::kOk);
  EXPECT_EQ(old_file->Sync(), Status::kOk);
  ASSERT_EQ(old_file->Truncate(5), Status::kOk);
  uint64_t size = 0;
  ASSERT_EQ(old_file->Size(&size), Status::kOk);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(fs->SyncFolder(dir.path()), Status::kOk);
  EXPECT_EQ(fs->SyncFolder(dir.File("none")), Status::kNotFound);
  EXPECT_EQ(fs->MakeFolders(dir.File("a/b/c")), Status::kOk);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  EXPECT_EQ(fs->MakeFolders(dir.File("tovars.dbf") + "/sub"), Status::kNotFound);
}

// A look at an open file tells another file, another size and a later write
// apart from the file as it was; reading changes nothing of it.
TEST(PosixFiles, StatTellsWritesSizeAndReplacement) {
  ScratchDir dir;
  FileSystem* fs = &SystemFileSystem();
  testing::WriteFile(dir.File("tovars.dbf"), "goods");
  std::unique_ptr<File> file;
  ASSERT_EQ(fs->Open(dir.File("tovars.dbf"), OpenMode::kReadWriteOthersRead, &file), Status::kOk);
  FileStat first, now;
  ASSERT_EQ(file->Stat(&first), Status::kOk);
  EXPECT_EQ(first.size, 5u);
  FileIdentity identity;
  ASSERT_EQ(file->Identity(&identity), Status::kOk);
  EXPECT_EQ(first.identity, identity);
  char buf[5];
  size_t got = 0;
  ASSERT_EQ(file->ReadAt(0, buf, sizeof buf, &got), Status::kOk);
  ASSERT_EQ(file->Stat(&now), Status::kOk);
  EXPECT_EQ(now, first);
  // A write of the same length moves the time of the last write (set here
  // by hand: two writes within one tick of the file clock look alike).
  ASSERT_EQ(file->WriteAt(0, "G", 1), Status::kOk);
  struct timespec later[2] = {{0, UTIME_OMIT}, {first.modified_ns / 1000000000 + 5, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.File("tovars.dbf").c_str(), later, 0), 0);
  ASSERT_EQ(file->Stat(&now), Status::kOk);
  EXPECT_EQ(now.size, first.size);
  EXPECT_NE(now.modified_ns, first.modified_ns);
  EXPECT_FALSE(now == first);
  ASSERT_EQ(file->WriteAt(5, "!", 1), Status::kOk);
  ASSERT_EQ(file->Stat(&now), Status::kOk);
  EXPECT_EQ(now.size, 6u);
  // Another file under the same name has another identity.
  std::unique_ptr<File> other;
  testing::WriteFile(dir.File("tovars2.dbf"), "goods!");
  ASSERT_EQ(fs->RenameReplacing(dir.File("tovars2.dbf"), dir.File("tovars.dbf")), Status::kOk);
  ASSERT_EQ(fs->Open(dir.File("tovars.dbf"), OpenMode::kReadOnlyUnlocked, &other), Status::kOk);
  FileStat replaced;
  ASSERT_EQ(other->Stat(&replaced), Status::kOk);
  EXPECT_FALSE(replaced.identity == now.identity);
  file->Close();
  EXPECT_NE(file->Stat(&now), Status::kOk);
}

// Folders as the shop's settings name them: the kind of each refusal, in
// the system's words.
TEST(PosixFiles, FolderAccessSaysWhyAFolderCannotServe) {
  ScratchDir dir;
  FileSystem& fs = SystemFileSystem();
  testing::WriteFile(dir.File("file"), "x");
  EXPECT_EQ(fs.FolderAccess(dir.path()), Status::kOk);
  const Status missing = fs.FolderAccess(dir.File("gone"));
  EXPECT_EQ(missing, Status::kNotFound);
  EXPECT_EQ(missing.Reason(), "No such file or directory");
  // Something else by that name, or on the way to it.
  for (const std::string& path : {dir.File("file"), dir.File("file") + "/sub"}) {
    const Status other = fs.FolderAccess(path);
    EXPECT_EQ(other, Status::kNotAFolder) << path;
    EXPECT_EQ(other.Reason(), "Not a directory") << path;
  }
  if (geteuid() != 0) {  // root may write anywhere
    ASSERT_EQ(mkdir(dir.File("locked").c_str(), 0500), 0);
    const Status locked = fs.FolderAccess(dir.File("locked"));
    EXPECT_EQ(locked, Status::kDenied);
    EXPECT_EQ(locked.Reason(), "Permission denied");
  }
}

// A trace is appended to: whatever the offset, a write goes to the end, so
// lines someone else appended meanwhile stay.
TEST(PosixFiles, AppendingWritesGoToTheEnd) {
  ScratchDir dir;
  FileSystem& fs = SystemFileSystem();
  const std::string path = dir.File("COM1.trace");
  std::unique_ptr<File> f;
  EXPECT_EQ(fs.Open(path, OpenMode::kAppendUnlocked, &f), Status::kNotFound);
  ASSERT_EQ(fs.Create(path, OpenMode::kAppendUnlocked, Readers::kOwner, &f), Status::kOk);
  ASSERT_EQ(f->WriteAt(0, "one\n", 4), Status::kOk);
  {
    std::unique_ptr<File> other;
    ASSERT_EQ(fs.Open(path, OpenMode::kAppendUnlocked, &other), Status::kOk);  // no lock
    ASSERT_EQ(other->WriteAt(0, "two\n", 4), Status::kOk);
  }
  ASSERT_EQ(f->WriteAt(4, "three\n", 6), Status::kOk);
  uint64_t size = 0;
  ASSERT_EQ(f->Size(&size), Status::kOk);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(testing::ReadFile(path), "one\ntwo\nthree\n");
}

// What --check can tell of a serial device without opening it.
TEST(PosixFiles, SerialDeviceAccessWithoutOpening) {
  ScratchDir dir;
  bool present = false;
  EXPECT_EQ(SerialDeviceAccess("/dev/null", &present), Status::kOk);  // a character device
  EXPECT_TRUE(present);
  testing::WriteFile(dir.File("ttyS0"), "");
  EXPECT_EQ(SerialDeviceAccess(dir.File("ttyS0"), &present), Status::kNotSupported);
  EXPECT_TRUE(present);
  const Status missing = SerialDeviceAccess(dir.File("ttyUSB0"), &present);
  EXPECT_FALSE(present);
  EXPECT_EQ(missing, Status::kNotFound);
  EXPECT_EQ(missing.Reason(), "No such file or directory");
}

TEST(FaultFiles, FailsTheChosenCallOnly) {
  ScratchDir dir;
  FaultFileSystem fs(&SystemFileSystem());
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Create(dir.File("r.dbf"), OpenMode::kReadWriteExclusiveSync, Readers::kEveryone, &f),
            Status::kOk);
  fs.FailNth(FsOp::kWrite, 2, "r.dbf", 1, Status::kNoSpace);
  EXPECT_EQ(f->WriteAt(0, "a", 1), Status::kOk);
  EXPECT_EQ(f->WriteAt(1, "b", 1), Status::kNoSpace);
  EXPECT_EQ(f->WriteAt(1, "c", 1), Status::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("r.dbf")), "ac");
  EXPECT_EQ(fs.Calls(FsOp::kWrite), 3);

  fs.FailAlways(FsOp::kOpen, "other.dbf");
  testing::WriteFile(dir.File("other.dbf"), "x");
  std::unique_ptr<File> g;
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), Status::kError);
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), Status::kError);
  fs.Clear();
  EXPECT_EQ(fs.Open(dir.File("other.dbf"), OpenMode::kReadWriteOthersRead, &g), Status::kOk);
}

TEST(FaultFiles, ACrashLetsNothingMoreReachTheDisk) {
  ScratchDir dir;
  FaultFileSystem fs(&SystemFileSystem());
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Create(dir.File("j"), OpenMode::kReadWriteExclusive, Readers::kOwner, &f),
            Status::kOk);
  fs.CrashAtWrite(2, /*torn=*/true);
  EXPECT_EQ(f->WriteAt(0, "abcd", 4), Status::kOk);
  EXPECT_FALSE(fs.Crashed());
  EXPECT_EQ(f->WriteAt(4, "efgh", 4), Status::kShortTransfer);  // half of it lands
  EXPECT_TRUE(fs.Crashed());
  EXPECT_NE(f->WriteAt(6, "xy", 2), Status::kOk);
  EXPECT_NE(f->Truncate(0), Status::kOk);
  EXPECT_NE(f->Sync(), Status::kOk);
  std::unique_ptr<File> g;
  EXPECT_NE(fs.Create(dir.File("k"), OpenMode::kReadWriteExclusive, Readers::kOwner, &g),
            Status::kOk);
  EXPECT_NE(fs.RenameReplacing(dir.File("j"), dir.File("k")), Status::kOk);
  EXPECT_EQ(testing::ReadFile(dir.File("j")), "abcdef");
  char buf[8];
  size_t got = 0;
  EXPECT_EQ(f->ReadAt(0, buf, sizeof buf, &got), Status::kOk);  // reads go on
  // A renamed file keeps the rules of its new name.
  fs.Clear();
  ASSERT_EQ(fs.RenameReplacing(dir.File("j"), dir.File("journal")), Status::kOk);
  fs.FailNth(FsOp::kSync, 1, "/journal");
  EXPECT_EQ(f->Sync(), Status::kError);
}

}  // namespace
}  // namespace tillgate
