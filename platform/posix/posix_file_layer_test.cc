#include "platform/posix/posix_file_layer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

using testing::ScratchDir;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

// Some shared-folder file systems refuse to flush a folder. By then the file
// has been replaced: the write is done and must be reported so, or the
// settings store's view and the file part (a "failed" installation that
// left the root key).
TEST(PosixFileLayer, AFolderThatCannotBeFlushedStillCountsAsWritten) {
  ScratchDir dir;
  int flushes = 0;
  auto files = NewPosixFileLayer([&](const std::string& folder) {
    EXPECT_EQ(folder, dir.path());
    ++flushes;
    return EINVAL;
  });
  const std::string path = dir.File("HKEY_CURRENT_USER.reg");
  EXPECT_TRUE(files->ReplaceFile(path, "REGEDIT4\r\n").ok());
  EXPECT_TRUE(files->ReplaceFile(path, "REGEDIT4\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n").ok());
  EXPECT_EQ(flushes, 2);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  std::string contents;
  bool exists = false;
  ASSERT_TRUE(files->ReadWholeFile(path, &contents, &exists).ok());
  EXPECT_TRUE(exists);
  EXPECT_EQ(contents, "REGEDIT4\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n");
}

}  // namespace
}  // namespace tillgate
