#include "config/reg_file_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/memory_file_layer.h"
#include "platform/faulty_file_layer.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

constexpr char kPath[] = "/cfg/HKEY_CURRENT_USER.reg";

class RegFileStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<RegistryStore> Open(Status* status = nullptr) {
    Status ignored;
    return OpenRegistryFile(files_, kPath, status ? status : &ignored);
  }
  std::string File() { return files_->files()[kPath]; }

  std::shared_ptr<MemoryFileLayer> files_ = std::make_shared<MemoryFileLayer>();
};

TEST_F(RegFileStoreTest, TypedValuesReadBackAfterReopening) {
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("Tillgate\\Equipment", true));
  const uint8_t record[3] = {1, 0, 3};
  ASSERT_TRUE(store->WriteString("MASKA1", "25CCCCCWWWWW").ok());
  ASSERT_TRUE(store->WriteDword("COD_LENGTH1", 0xFFFFFFFF).ok());
  ASSERT_TRUE(store->WriteBinary("COM1", record, 3).ok());

  auto again = Open();
  EXPECT_TRUE(again->KeyExists("Tillgate"));
  EXPECT_TRUE(again->KeyExists("tillgate\\EQUIPMENT"));
  ASSERT_TRUE(again->OpenKey("Tillgate\\Equipment", false));
  std::string mask;
  uint32_t length = 0;
  uint8_t bytes[3] = {};
  size_t size = 0;
  EXPECT_TRUE(again->ReadString("maska1", &mask).ok());
  EXPECT_EQ(mask, "25CCCCCWWWWW");
  EXPECT_TRUE(again->ReadDword("COD_LENGTH1", &length).ok());
  EXPECT_EQ(length, 0xFFFFFFFFu);
  EXPECT_TRUE(again->ReadBinary("COM1", bytes, 3, &size).ok());
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(bytes[2], 3);
  RegValueType type;
  ASSERT_TRUE(again->GetValueType("COM1", &type));
  EXPECT_EQ(type, RegValueType::kBinary);
  EXPECT_FALSE(again->GetValueType("COM2", &type));
}

TEST_F(RegFileStoreTest, WrongTypesAndOversizedBinaryGiveTheDataTypeMessage) {
  files_->files()[kPath] =
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"S\"=\"x\"\n\"D\"=dword:5\n\"B\"=hex:01,02,03,04\n"
      "\"E\"=hex(2):41,00,00,00\n";
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("K", false));
  std::string text = "keep";
  uint32_t dword = 7;
  uint8_t bytes[3] = {9, 9, 9};
  size_t size = 42;
  Status status = store->ReadDword("S", &dword);
  EXPECT_EQ(status.message(), "Invalid data type for 'S'");
  EXPECT_EQ(dword, 7u);
  EXPECT_EQ(store->ReadString("D", &text).message(), "Invalid data type for 'D'");
  EXPECT_EQ(store->ReadString("E", &text).message(), "Invalid data type for 'E'");
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(store->ReadBinary("B", bytes, 3, &size).message(), "Invalid data type for 'B'");
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(size, 42u);
  EXPECT_EQ(store->ReadBinary("S", bytes, 3, &size).message(), "Invalid data type for 'S'");
  // A shorter record fills only its own bytes.
  uint8_t wide[8] = {};
  ASSERT_TRUE(store->ReadBinary("B", wide, sizeof wide, &size).ok());
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(wide[3], 4);
  EXPECT_EQ(wide[4], 0);
}

TEST_F(RegFileStoreTest, KeysOpenCreateAndRefuse) {
  auto store = Open();
  EXPECT_FALSE(store->OpenKey("A\\B", false));
  EXPECT_FALSE(store->ValueExists("x"));
  EXPECT_EQ(store->WriteString("x", "1").message(), "Failed to set data for 'x'");
  EXPECT_EQ(files_->replace_count(), 0);
  for (const char* bad : {"", "\\A", "A\\", "A\\\\B", "A\nB"}) {
    EXPECT_FALSE(store->OpenKey(bad, true)) << bad;
    EXPECT_FALSE(store->DeleteKey(bad)) << bad;
  }
  EXPECT_EQ(files_->replace_count(), 0);

  ASSERT_TRUE(store->OpenKey("A\\B\\C", true));
  EXPECT_TRUE(store->KeyExists("A"));
  EXPECT_TRUE(store->KeyExists("A\\B"));
  EXPECT_FALSE(store->KeyExists("A\\B\\C\\D"));
  // Parents precede children, siblings stay together.
  ASSERT_TRUE(store->OpenKey("A\\X", true));
  EXPECT_NE(File().find("[HKEY_CURRENT_USER\\A]\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n\r\n"
                        "[HKEY_CURRENT_USER\\A\\B\\C]\r\n\r\n[HKEY_CURRENT_USER\\A\\X]\r\n"),
            std::string::npos)
      << File();
  store->CloseKey();
  EXPECT_EQ(store->WriteDword("y", 1).message(), "Failed to set data for 'y'");
}

TEST_F(RegFileStoreTest, TextsThatWouldBreakTheFileAreRefused) {
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("K", true));
  int writes = files_->replace_count();
  EXPECT_EQ(store->WriteString("v", "line\r\nnext").message(), "Failed to set data for 'v'");
  EXPECT_EQ(store->WriteString("a\nb", "x").message(), "Failed to set data for 'a\nb'");
  EXPECT_EQ(store->WriteString("nul", std::string("a\0b", 3)).message(),
            "Failed to set data for 'nul'");
  EXPECT_EQ(files_->replace_count(), writes);
  EXPECT_TRUE(store->WriteString("quotes", "say \"\\\"").ok());
  auto again = Open();
  ASSERT_TRUE(again->OpenKey("K", false));
  std::string text;
  ASSERT_TRUE(again->ReadString("quotes", &text).ok());
  EXPECT_EQ(text, "say \"\\\"");
}

TEST_F(RegFileStoreTest, FailedFileWriteChangesNothing) {
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("K", true));
  ASSERT_TRUE(store->WriteString("v", "old").ok());
  std::string before = File();
  files_->FailReplace(1);
  EXPECT_EQ(store->WriteString("v", "new").message(), "Failed to set data for 'v'");
  EXPECT_EQ(File(), before);
  std::string text;
  ASSERT_TRUE(store->ReadString("v", &text).ok());
  EXPECT_EQ(text, "old");
  // A key whose creation could not be stored does not appear.
  files_->FailReplace(1);
  EXPECT_FALSE(store->OpenKey("New", true));
  EXPECT_FALSE(store->KeyExists("New"));
  files_->FailReplace(1);
  EXPECT_FALSE(store->DeleteKey("K"));
  EXPECT_TRUE(store->KeyExists("K"));
}

TEST_F(RegFileStoreTest, DeleteRemovesTheWholeTreeAndNothingElse) {
  files_->files()[kPath] =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate]\r\n\"stray\"=\"x\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n\"InPath\"=\"D:\\\\\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\Extra\\Deep]\r\n\"Q\"=hex(7):41,00,00,00,00,00\r\n\r\n"
      "[HKEY_CURRENT_USER\\TillgateOther]\r\n\"keep\"=dword:00000001\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Tillgate]\r\n\r\n";
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("Tillgate\\Extra", false));  // exists through its subkey
  EXPECT_TRUE(store->DeleteKey("TILLGATE"));
  EXPECT_FALSE(store->ValueExists("Q"));  // the current key went with the tree
  EXPECT_FALSE(store->KeyExists("Tillgate"));
  EXPECT_FALSE(store->DeleteKey("Tillgate"));
  EXPECT_EQ(File(),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\TillgateOther]\r\n\"keep\"=dword:00000001\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Tillgate]\r\n\r\n");
}

TEST_F(RegFileStoreTest, UnknownTypesAndForeignKeysSurviveAWrite) {
  std::string expand =
      "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,\\\r\n"
      "  00,45,00,25,00,00,00";
  std::string multi = "\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00";
  files_->files()[kPath] = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n" + expand +
                           "\r\n" + multi + "\r\n\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n\r\n" +
                           "[HKEY_CLASSES_ROOT\\.x]\r\n@=\"y\"\r\n";
  auto store = Open();
  ASSERT_TRUE(store->OpenKey("Tillgate\\Equipment", true));
  ASSERT_TRUE(store->WriteDword("AvtoStart", 1).ok());
  std::string file = File();
  EXPECT_EQ(file.rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(file.find(expand + "\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find(multi + "\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"), std::string::npos);
  EXPECT_NE(file.find("[HKEY_CLASSES_ROOT\\.x]\r\n@=\"y\"\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"AvtoStart\"=dword:00000001\r\n"), std::string::npos);
}

TEST_F(RegFileStoreTest, UnparsableFileIsReportedAndNeverOverwritten) {
  std::string broken = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Tillgate]\n\"COM1\"=hex:01,zz\n";
  files_->files()[kPath] = broken;
  Status status;
  auto store = Open(&status);
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("line 4"), std::string::npos) << status.message();
  EXPECT_FALSE(store->KeyExists("Tillgate"));
  EXPECT_FALSE(store->OpenKey("Tillgate", true));
  EXPECT_FALSE(store->DeleteKey("Tillgate"));
  EXPECT_EQ(files_->replace_count(), 0);
  EXPECT_EQ(File(), broken);
}

TEST_F(RegFileStoreTest, UnreadableFileIsReportedAndNeverOverwritten) {
  files_->files()[kPath] = "REGEDIT4\n";
  files_->FailReads(true);
  Status status;
  auto store = Open(&status);
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(store->OpenKey("K", true));
  EXPECT_EQ(files_->replace_count(), 0);
}

TEST(MemoryRegistryStore, StartsEmptyAndKeepsValues) {
  auto store = NewMemoryRegistryStore();
  EXPECT_FALSE(store->KeyExists("Tillgate"));
  ASSERT_TRUE(store->OpenKey("Tillgate", true));
  ASSERT_TRUE(store->WriteDword("x", 3).ok());
  uint32_t value = 0;
  ASSERT_TRUE(store->ReadDword("x", &value).ok());
  EXPECT_EQ(value, 3u);
}

// The real file system: a scratch folder per test. What only POSIX has
// (permission bits, symbolic links) is tried in reg_file_posix_test.cc.
class RegistryFileOnDiskTest : public ::testing::Test {
 protected:
  static std::unique_ptr<RegistryStore> Open(const std::string& path, Status* status) {
    return OpenRegistryFile(NewSystemFileLayer(), path, status);
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
  }
  static std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    return names;
  }
  static std::filesystem::perms Permissions(const std::string& path) {
    return std::filesystem::status(path).permissions();
  }

  testing::ScratchDir scratch_;
  const std::string root_ = scratch_.path();
};

TEST_F(RegistryFileOnDiskTest, CreatesFolderAndReplacesFileWithoutLeftovers) {
  std::string folder = root_ + "/conf/tillgate";
  std::string path = folder + "/HKEY_CURRENT_USER.reg";
  Status status;
  auto store = Open(path, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_TRUE(store->OpenKey("Tillgate\\DataBase", true));
  ASSERT_TRUE(store->WriteString("InPath", "/srv/shop/goods").ok());
  EXPECT_EQ(List(folder), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(Slurp(path),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n\"InPath\"=\"/srv/shop/goods\"\r\n\r\n");

  auto again = Open(path, &status);
  ASSERT_TRUE(status.ok());
  EXPECT_TRUE(again->KeyExists("Tillgate\\DataBase"));
}

TEST_F(RegistryFileOnDiskTest, PathBlockedByAFileFailsReadAndReplace) {
  std::string blocker = root_ + "/file";
  std::ofstream(blocker) << "x";
  std::string path = blocker + "/tillgate/HKEY_CURRENT_USER.reg";
  Status status;
  auto store = Open(path, &status);
  EXPECT_FALSE(status.ok());
  EXPECT_FALSE(store->OpenKey("Tillgate", true));
  EXPECT_FALSE(NewSystemFileLayer()->ReplaceFile(path, "REGEDIT4\r\n").ok());
  EXPECT_EQ(Slurp(blocker), "x");
  EXPECT_EQ(List(root_), std::vector<std::string>{"file"});
}

TEST_F(RegistryFileOnDiskTest, RefusedWriteLeavesTheFileAsItWas) {
  std::string path = root_ + "/HKEY_CURRENT_USER.reg";
  auto files = std::make_shared<FaultyFileLayer>(NewSystemFileLayer());
  Status status;
  auto store = OpenRegistryFile(files, path, &status);
  ASSERT_TRUE(store->OpenKey("K", true));
  ASSERT_TRUE(store->WriteString("a", "1").ok());
  std::string before = Slurp(path);
  files->FailReplace(1);
  EXPECT_EQ(store->WriteString("b", "2").message(), "Failed to set data for 'b'");
  EXPECT_EQ(Slurp(path), before);
  EXPECT_TRUE(store->WriteString("c", "3").ok());
  auto again = Open(path, &status);
  ASSERT_TRUE(again->OpenKey("K", false));
  EXPECT_TRUE(again->ValueExists("a"));
  EXPECT_FALSE(again->ValueExists("b"));
  EXPECT_TRUE(again->ValueExists("c"));
}

// A settings file made read-only (by an administrator locking the settings)
// refuses writes as a locked registry key does, whoever runs the program.
TEST_F(RegistryFileOnDiskTest, ReadOnlyFileRefusesWritesAndStaysAsItWas) {
  std::string path = root_ + "/HKEY_CURRENT_USER.reg";
  const std::string locked =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n";
  std::ofstream(path, std::ios::binary) << locked;
  using std::filesystem::perms;
  const perms read_only = perms::owner_read | perms::group_read | perms::others_read;
  std::filesystem::permissions(path, read_only);
  Status status;
  auto store = Open(path, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_TRUE(store->KeyExists("Tillgate"));
  EXPECT_FALSE(store->OpenKey("Tillgate\\DataBase", true));
  ASSERT_TRUE(store->OpenKey("Tillgate", false));
  EXPECT_EQ(store->WriteString("Note", "x").message(), "Failed to set data for 'Note'");
  EXPECT_FALSE(store->DeleteKey("Tillgate"));
  EXPECT_EQ(Slurp(path), locked);
  EXPECT_EQ(Permissions(path), read_only);
}

}  // namespace
}  // namespace tillgate
