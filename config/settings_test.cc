#include "config/settings.h"

#include <gtest/gtest.h>

#include "config/installation.h"
#include "config/memory_file_layer.h"
#include "config/recording_registry_store.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "config/settings_testing.h"
#include "platform/locations.h"

namespace tillgate {
namespace {

constexpr char kPath[] = "HKEY_CURRENT_USER.reg";

class SettingsTest : public ::testing::Test {
 protected:
  void Install() { ASSERT_TRUE(InstallDefaults(*store_, "/srv/goods", "/srv/reports").ok()); }

  void SetFile(const std::string& equipment_lines) {
    files_->files()[kPath] =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n" +
        equipment_lines;
    store_ = OpenRegistryFile(files_, kPath, &open_status_);
    ASSERT_TRUE(open_status_.ok()) << open_status_.message();
  }

  // The boxes as the window shows them right after `settings` were loaded.
  static SaveControls ControlsFor(const Settings& settings) { return ControlsAsLoaded(settings); }

  std::shared_ptr<MemoryFileLayer> files_ = std::make_shared<MemoryFileLayer>();
  Status open_status_;
  std::unique_ptr<RegistryStore> store_ = OpenRegistryFile(files_, kPath, &open_status_);
};

TEST_F(SettingsTest, FirstRunWithoutTheKeyReadsAndWritesNothing) {
  std::string long_folder = "/home/shop/" + std::string(300, 'x');
  LoadResult loaded = LoadSettings(*store_, long_folder);
  ASSERT_TRUE(loaded.status.ok());
  const Settings& s = loaded.settings;
  EXPECT_FALSE(s.installed);
  EXPECT_EQ(s.goods_folder, long_folder);  // not cut to 127 characters
  EXPECT_EQ(s.report_folder, long_folder);
  EXPECT_EQ(s.store_goods_folder, "");  // the store gets no folder and touches no file
  EXPECT_EQ(s.store_report_folder, "");
  for (int i = 0; i < kPortCount; ++i) {
    EXPECT_EQ(s.ports[i].connect, 0);
    EXPECT_FALSE(s.connect_checked[i]);
  }
  EXPECT_EQ(files_->replace_count(), 0);

  Settings settings = loaded.settings;
  SaveControls controls = ControlsFor(settings);
  controls.connect_checked.fill(true);
  controls.auto_start_checked = true;
  EXPECT_TRUE(SaveSettings(*store_, settings, controls).ok());
  EXPECT_FALSE(settings.installed);
  EXPECT_EQ(files_->replace_count(), 0);
  EXPECT_EQ(files_->files().count(kPath), 0u);
}

TEST_F(SettingsTest, RightAfterInstallationMissingValuesKeepDefaults) {
  Install();
  LoadResult loaded = LoadSettings(*store_, "/cwd");
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message();
  const Settings& s = loaded.settings;
  EXPECT_TRUE(s.installed);
  EXPECT_EQ(s.goods_folder, "/srv/goods");
  EXPECT_EQ(s.report_folder, "/srv/reports");
  EXPECT_EQ(s.store_goods_folder, "/srv/goods");
  EXPECT_EQ(s.store_report_folder, "/srv/reports");
  EXPECT_FALSE(s.track_stock);
  EXPECT_EQ(s.auto_start, 0);
  EXPECT_EQ(s.shown_split_length, 0);
  for (int i = 0; i < kPortCount; ++i) {
    EXPECT_EQ(s.ports[i].connect, 0);
    EXPECT_EQ(s.ports[i].start, 0);
    EXPECT_EQ(s.ports[i].model, kModelEkr3102F);
    EXPECT_EQ(s.ports[i].mask, "25CCCCCWWWWW");
    EXPECT_EQ(s.ports[i].name_lines, "NC");
    EXPECT_EQ(s.ports[i].split_length, 0);
    EXPECT_EQ(DevicePath(s, i), DefaultDevicePath(i));  // /dev/ttyS0..., or COM1... on Windows
  }
  EXPECT_EQ(DevicePath(s, -1), "");
  EXPECT_EQ(DevicePath(s, kPortCount), "");
}

TEST_F(SettingsTest, PortRecordsDecideTheBoxes) {
  SetFile(
      "\"COM1\"=hex:01,01,02\r\n\"COM2\"=hex:01,01,00\r\n\"COM3\"=hex:00,01,03\r\n"
      "\"COM4\"=hex:02,01,01\r\n\"COM5\"=hex:01,01\r\n\"COM6\"=hex:\r\n");
  LoadResult loaded = LoadSettings(*store_, "/cwd");
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message();
  const Settings& s = loaded.settings;
  EXPECT_TRUE(s.connect_checked[0] && s.start_checked[0]);
  EXPECT_EQ(s.ports[0].model, kModelElektronika92);
  EXPECT_TRUE(s.connect_checked[1] && s.start_checked[1]);
  EXPECT_EQ(s.ports[1].model, 0);
  EXPECT_FALSE(s.connect_checked[2]);
  EXPECT_FALSE(s.start_checked[2]);  // start stored, but only a connect of 1 shows it
  EXPECT_EQ(s.ports[2].start, 1);
  EXPECT_TRUE(s.connect_checked[3]);
  EXPECT_FALSE(s.start_checked[3]);  // connect 2 is "checked" yet not 1
  EXPECT_EQ(s.ports[4].connect, 1);  // a short record fills only its bytes
  EXPECT_EQ(s.ports[4].model, 0);
  EXPECT_EQ(s.ports[5].connect, 0);
}

TEST_F(SettingsTest, EachValueIsReadOnlyWhenItExists) {
  SetFile(
      "\"STROKA1\"=\"CN\"\r\n\"MASKA2\"=\"2CCCCWWW\"\r\n\"COD_LENGTH2\"=dword:00000007\r\n"
      "\"DEVICE3\"=\"/dev/ttyUSB0\"\r\n\"AvtoStart\"=dword:00000002\r\n"
      "\"QUICK2\"=dword:00000001\r\n\"STRICT16\"=dword:00000005\r\n\"QUICK3\"=dword:00000000\r\n"
      "\"RESCAN\"=dword:0000001e\r\n");
  LoadResult loaded = LoadSettings(*store_, "/cwd");
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message();
  const Settings& s = loaded.settings;
  EXPECT_EQ(s.goods_folder, "D:\\");  // DataBase has no values: defaults stay
  EXPECT_EQ(s.store_goods_folder, "D:\\");
  EXPECT_EQ(s.ports[0].mask, "");
  EXPECT_EQ(s.ports[0].name_lines, "CN");
  EXPECT_EQ(s.ports[1].mask, "2CCCCWWW");
  EXPECT_EQ(s.ports[1].name_lines, "");
  EXPECT_EQ(s.shown_split_length, 7);
  EXPECT_EQ(DevicePath(s, 2), "/dev/ttyUSB0");
  EXPECT_EQ(s.auto_start, 2);  // the window checks its box only for 1
  EXPECT_EQ(s.rescan_seconds, 30u);
  EXPECT_TRUE(s.ports[1].quick);
  EXPECT_FALSE(s.ports[1].strict);
  EXPECT_FALSE(s.ports[2].quick);   // 0 is off, as a missing value
  EXPECT_TRUE(s.ports[15].strict);  // any value but 0 is on
  EXPECT_FALSE(s.ports[0].quick || s.ports[0].strict);
}

TEST_F(SettingsTest, LoadCreatesMissingKeysOfAnInstalledTree) {
  files_->files()[kPath] = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n";
  store_ = OpenRegistryFile(files_, kPath, &open_status_);
  ASSERT_TRUE(LoadSettings(*store_, "/cwd").status.ok());
  EXPECT_TRUE(store_->KeyExists(kDataBaseKey));
  EXPECT_TRUE(store_->KeyExists(kEquipmentKey));
}

TEST_F(SettingsTest, WrongTypesStopTheLoadWithTheValueName) {
  struct Case {
    std::string database, equipment, message;
  } cases[] = {
      {"", "\"COM3\"=\"text\"\r\n", "Invalid data type for 'COM3'"},
      {"", "\"COM4\"=hex:01,01,01,00\r\n", "Invalid data type for 'COM4'"},
      {"", "\"COD_LENGTH7\"=\"4\"\r\n", "Invalid data type for 'COD_LENGTH7'"},
      {"", "\"MASKA1\"=dword:00000001\r\n", "Invalid data type for 'MASKA1'"},
      {"", "\"AvtoStart\"=\"1\"\r\n", "Invalid data type for 'AvtoStart'"},
      {"", "\"QUICK2\"=\"1\"\r\n", "Invalid data type for 'QUICK2'"},
      {"", "\"STRICT9\"=hex:01\r\n", "Invalid data type for 'STRICT9'"},
      {"", "\"RESCAN\"=\"30\"\r\n", "Invalid data type for 'RESCAN'"},
      {"\"InPath\"=hex:00\r\n", "", "Invalid data type for 'InPath'"},
      {"\"Res\"=\"1\"\r\n", "", "Invalid data type for 'Res'"},
  };
  for (const Case& c : cases) {
    files_->files()[kPath] = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n" +
                             c.database + "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n" +
                             "\"COM1\"=hex:01,00,01\r\n" + c.equipment;
    store_ = OpenRegistryFile(files_, kPath, &open_status_);
    LoadResult loaded = LoadSettings(*store_, "/cwd");
    EXPECT_EQ(loaded.status.message(), c.message);
    if (!c.equipment.empty()) {
      EXPECT_EQ(loaded.settings.ports[0].connect, 1) << c.message;
    }
  }
}

TEST_F(SettingsTest, SaveWritesEveryValueInOrderFromTheControls) {
  Install();
  Settings settings = LoadSettings(*store_, "/cwd").settings;
  settings.track_stock = true;
  settings.ports[2].model = kModelLadogaF;
  settings.ports[2].split_length = 9;
  settings.ports[2].device = "/dev/ttyUSB1";
  SaveControls controls = ControlsFor(settings);
  controls.connect_checked[2] = true;
  controls.start_checked[2] = true;
  controls.goods_field = "/new/goods";
  controls.auto_start_checked = true;

  RecordingRegistryStore recorder(*store_);
  ASSERT_TRUE(SaveSettings(recorder, settings, controls).ok());
  std::vector<std::string> expected = {"InPath", "OutPath", "Res"};
  for (int n = 1; n <= 16; ++n) {
    for (const char* stem : {"COM", "MASKA", "STROKA", "COD_LENGTH"}) {
      expected.push_back(stem + std::to_string(n));
    }
    // Only a port with a device of its own needs the value.
    if (n == 3) expected.push_back("DEVICE3");
  }
  expected.push_back("AvtoStart");
  EXPECT_EQ(recorder.Writes(), expected);
  EXPECT_EQ(settings.ports[2].connect, 1);
  EXPECT_EQ(settings.ports[2].start, 1);

  const std::string& file = files_->files()[kPath];
  EXPECT_NE(file.find("\"InPath\"=\"/new/goods\"\r\n\"OutPath\"=\"/srv/reports\"\r\n"
                      "\"Res\"=dword:00000001\r\n"),
            std::string::npos)
      << file;
  // Values already present are replaced where they stand; new ones join the key's end.
  for (const char* line :
       {"\"COM3\"=hex:01,01,03\r\n\"MASKA3\"=\"25CCCCCWWWWW\"\r\n\"STROKA3\"=\"NC\"\r\n",
        "\"COD_LENGTH3\"=dword:00000009\r\n\"DEVICE3\"=\"/dev/ttyUSB1\"\r\n",
        "\"AvtoStart\"=dword:00000001\r\n"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(file.find("DEVICE4"), std::string::npos) << file;
  // A device value once there follows the port, back to the default too.
  settings.ports[2].device.clear();
  ASSERT_TRUE(SaveSettings(*store_, settings, controls).ok());
  std::string quoted;  // backslashes doubled, as the settings file keeps them
  for (const char c : DefaultDevicePath(2))
    quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_NE(files_->files()[kPath].find("\"DEVICE3\"=\"" + quoted + "\"\r\n"), std::string::npos);
}

TEST_F(SettingsTest, ASaveLeavesTheLineOptionsTheWindowDoesNotShow) {
  const std::string options =
      "\"RESCAN\"=dword:0000003c\r\n\"QUICK1\"=dword:00000001\r\n\"STRICT1\"=dword:00000001\r\n"
      "\"QUICK16\"=dword:00000000\r\n";
  SetFile("\"COM1\"=hex:01,01,01\r\n" + options);
  Settings settings = LoadSettings(*store_, "/cwd").settings;
  SaveControls controls = ControlsFor(settings);
  controls.connect_checked[1] = true;  // a real change: the file is written
  ASSERT_TRUE(SaveSettings(*store_, settings, controls).ok());
  EXPECT_GT(files_->replace_count(), 0);
  const std::string& file = files_->files()[kPath];
  EXPECT_NE(file.find(options), std::string::npos) << file;
  EXPECT_NE(file.find("\"COM2\"=hex:01,00,00\r\n"), std::string::npos) << file;
  Settings again = LoadSettings(*store_, "/cwd").settings;
  EXPECT_EQ(again.rescan_seconds, 60u);
  EXPECT_TRUE(again.ports[0].quick && again.ports[0].strict);
}

TEST_F(SettingsTest, RefusedWriteStopsTheSaveKeepingEarlierValues) {
  Install();
  Settings settings = LoadSettings(*store_, "/cwd").settings;
  for (auto& port : settings.ports) port.name_lines = "CC";
  SaveControls controls = ControlsFor(settings);
  controls.connect_checked[1] = true;
  // Only writes that change a value reach the file: Res, then STROKA1,
  // COD_LENGTH1, COM2 (its box changed) and STROKA2, the 5th.
  files_->FailReplace(5);
  EXPECT_EQ(SaveSettings(*store_, settings, controls).message(),
            "Failed to set data for 'STROKA2'");

  Settings after = LoadSettings(*store_, "/cwd").settings;
  EXPECT_EQ(after.ports[0].name_lines, "CC");
  EXPECT_EQ(after.ports[1].connect, 1);  // COM2 was written before the failure
  EXPECT_EQ(after.ports[1].name_lines, "NC");
  EXPECT_EQ(after.ports[2].name_lines, "NC");
  ASSERT_TRUE(store_->OpenKey(kEquipmentKey, false));
  EXPECT_FALSE(store_->ValueExists("COD_LENGTH2"));
}

TEST_F(SettingsTest, InstallLoadSaveLoadRoundTrip) {
  std::string long_folder = "/srv/" + std::string(200, 'g');
  ASSERT_TRUE(InstallDefaults(*store_, long_folder, "/srv/\"quoted\\reports\"").ok());
  Settings first = LoadSettings(*store_, "/cwd").settings;
  EXPECT_EQ(first.store_goods_folder, long_folder);
  first.track_stock = true;
  for (int i = 0; i < kPortCount; ++i) {
    first.ports[i].model = static_cast<uint8_t>(i % 4);
    first.ports[i].mask = "2" + std::string(static_cast<size_t>(i), 'C');
    first.ports[i].name_lines = (i % 2) ? "CN" : "NN";
    first.ports[i].split_length = 4 + (i % 9);
  }
  first.ports[5].device = "/dev/serial/by-id/usb-Шлюз";
  SaveControls controls = ControlsFor(first);
  for (int i = 0; i < kPortCount; ++i) {
    controls.connect_checked[i] = i % 3 == 0;
    controls.start_checked[i] = i % 2 == 0;
  }
  controls.auto_start_checked = true;
  ASSERT_TRUE(SaveSettings(*store_, first, controls).ok());

  Status status;
  auto reopened = OpenRegistryFile(files_, kPath, &status);
  ASSERT_TRUE(status.ok()) << status.message();
  LoadResult second = LoadSettings(*reopened, "/cwd");
  ASSERT_TRUE(second.status.ok()) << second.status.message();
  const Settings& s = second.settings;
  EXPECT_EQ(s.goods_folder, long_folder);
  EXPECT_EQ(s.report_folder, "/srv/\"quoted\\reports\"");
  EXPECT_TRUE(s.track_stock);
  EXPECT_EQ(s.auto_start, 1);
  for (int i = 0; i < kPortCount; ++i) {
    EXPECT_EQ(s.ports[i].connect, first.ports[i].connect) << i;
    EXPECT_EQ(s.ports[i].start, first.ports[i].start) << i;
    EXPECT_EQ(s.ports[i].model, first.ports[i].model) << i;
    EXPECT_EQ(s.ports[i].mask, first.ports[i].mask) << i;
    EXPECT_EQ(s.ports[i].name_lines, first.ports[i].name_lines) << i;
    EXPECT_EQ(s.ports[i].split_length, first.ports[i].split_length) << i;
    EXPECT_EQ(DevicePath(s, i), DevicePath(first, i)) << i;
    EXPECT_EQ(s.connect_checked[i], controls.connect_checked[i]) << i;
    EXPECT_EQ(s.start_checked[i], controls.connect_checked[i] && controls.start_checked[i]) << i;
  }
  EXPECT_EQ(s.shown_split_length, first.ports[1].split_length);
}

TEST_F(SettingsTest, UnparsableFileIsLeftUntouchedBySaveAndInstall) {
  std::string broken =
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\Tillgate]\r\n\"COM1\"=hex:01,0\r\nGARBAGE\r\n";
  files_->files()[kPath] = broken;
  Status status;
  store_ = OpenRegistryFile(files_, kPath, &status);
  EXPECT_NE(status.message().find("line 4"), std::string::npos) << status.message();
  LoadResult loaded = LoadSettings(*store_, "/cwd");
  Settings settings = loaded.settings;
  SaveControls controls = ControlsFor(settings);
  controls.connect_checked.fill(true);
  EXPECT_TRUE(SaveSettings(*store_, settings, controls).ok());
  EXPECT_EQ(InstallDefaults(*store_, "/g", "/r").message(), "Failed to set data for 'InPath'");
  EXPECT_EQ(files_->files()[kPath], broken);
  EXPECT_EQ(files_->replace_count(), 0);
}

}  // namespace
}  // namespace tillgate
