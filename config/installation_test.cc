#include "config/installation.h"

#include <gtest/gtest.h>

#include "config/memory_file_layer.h"
#include "config/recording_registry_store.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"

namespace tillgate {
namespace {

constexpr char kPath[] = "HKEY_CURRENT_USER.reg";

class InstallationTest : public ::testing::Test {
 protected:
  std::shared_ptr<MemoryFileLayer> files_ = std::make_shared<MemoryFileLayer>();
  Status open_status_;
  std::unique_ptr<RegistryStore> store_ = OpenRegistryFile(files_, kPath, &open_status_);
};

TEST_F(InstallationTest, WritesTheDefaultsInTheirOrder) {
  RecordingRegistryStore recorder(*store_);
  ASSERT_TRUE(InstallDefaults(recorder, "/srv/goods", "/srv/reports").ok());

  std::vector<std::string> expected = {
      "open Tillgate", "close", "open Tillgate\\DataBase", "write InPath",
      "write OutPath", "close", "open Tillgate\\Equipment"};
  for (int n = 1; n <= 16; ++n) {
    for (const char* stem : {"COM", "MASKA", "STROKA"}) {
      expected.push_back("write " + std::string(stem) + std::to_string(n));
    }
  }
  expected.push_back("write AvtoStart");
  expected.push_back("close");
  EXPECT_EQ(recorder.log(), expected);

  const std::string& file = files_->files()[kPath];
  EXPECT_NE(
      file.find("[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n"
                "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n"
                "\"InPath\"=\"/srv/goods\"\r\n\"OutPath\"=\"/srv/reports\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n"
                "\"COM1\"=hex:00,00,01\r\n\"MASKA1\"=\"25CCCCCWWWWW\"\r\n\"STROKA1\"=\"NC\"\r\n"
                "\"COM2\"=hex:00,00,01\r\n"),
      std::string::npos)
      << file;
  EXPECT_NE(file.find("\"STROKA16\"=\"NC\"\r\n\"AvtoStart\"=dword:00000000\r\n"),
            std::string::npos);
  EXPECT_EQ(file.find("Res"), std::string::npos);
  EXPECT_EQ(file.find("COD_LENGTH"), std::string::npos);
  EXPECT_EQ(file.find("DEVICE"), std::string::npos);
}

TEST_F(InstallationTest, RefusedWriteStopsAndKeepsWhatWasWritten) {
  // Writes: key Tillgate, key DataBase, InPath, OutPath, key Equipment, COM1, MASKA1, ...
  files_->FailReplace(7);
  Status status = InstallDefaults(*store_, "/g", "/r");
  EXPECT_EQ(status.message(), "Failed to set data for 'MASKA1'");
  ASSERT_TRUE(store_->OpenKey(kEquipmentKey, false));
  EXPECT_TRUE(store_->ValueExists("COM1"));
  EXPECT_FALSE(store_->ValueExists("MASKA1"));
  EXPECT_FALSE(store_->ValueExists("STROKA1"));
  EXPECT_FALSE(store_->ValueExists("AvtoStart"));
}

TEST_F(InstallationTest, KeyThatCannotBeCreatedFailsAtItsFirstValue) {
  files_->FailReplace(1, /*sticky=*/true);
  EXPECT_EQ(InstallDefaults(*store_, "/g", "/r").message(), "Failed to set data for 'InPath'");
  EXPECT_FALSE(store_->KeyExists(kRootKey));
}

TEST_F(InstallationTest, RemovalDeletesEverythingUnderTheRootKey) {
  ASSERT_TRUE(InstallDefaults(*store_, "/g", "/r").ok());
  ASSERT_TRUE(store_->OpenKey("Tillgate", false));
  ASSERT_TRUE(store_->WriteString("Stray", "x").ok());
  ASSERT_TRUE(store_->OpenKey("Tillgate\\Equipment\\Extra\\Deeper", true));
  ASSERT_TRUE(store_->WriteDword("N", 1).ok());
  ASSERT_TRUE(store_->OpenKey("Other", true));
  store_->CloseKey();

  EXPECT_TRUE(RemoveInstallation(*store_));
  EXPECT_FALSE(store_->KeyExists(kRootKey));
  EXPECT_TRUE(store_->KeyExists("Other"));
  EXPECT_EQ(files_->files()[kPath].find("Tillgate"), std::string::npos);
  EXPECT_FALSE(RemoveInstallation(*store_));
}

}  // namespace
}  // namespace tillgate
