// Settings brought over from Windows: code page 1251 exports read right,
// files left as they are unless a value really changes, the encoding kept on
// a write, and folders written for Windows recognised.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/cp1251.h"
#include "config/folder_check.h"
#include "config/memory_file_layer.h"
#include "config/reg_document.h"
#include "config/reg_file_store.h"
#include "config/registry_names.h"
#include "config/settings.h"
#include "config/settings_testing.h"
#include "config/utf16.h"
#include "platform/memory_file_system.h"
#include "platform/platform.h"
#include "platform/scratch_dir.h"

namespace tillgate {
namespace {

constexpr char kPath[] = "tillgate.reg";
// "D:\Магазин\Товары" and "D:\Магазин\Отчёты" in code page 1251.
constexpr char kGoods1251[] = "D:\\\\\xCC\xE0\xE3\xE0\xE7\xE8\xED\\\\\xD2\xEE\xE2\xE0\xF0\xFB";
constexpr char kReports1251[] = "D:\\\\\xCC\xE0\xE3\xE0\xE7\xE8\xED\\\\\xCE\xF2\xF7\xB8\xF2\xFB";

// A complete installed tree as an older Windows exports it: REGEDIT4, code
// page 1251, LF line ends and upper-case hex digits, so that any rewrite
// would show; like every export from Windows, it names no serial devices.
std::string Regedit4Export() {
  std::string file =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Tillgate]\n\n"
      "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n";
  file += std::string("\"InPath\"=\"") + kGoods1251 + "\"\n";
  file += std::string("\"OutPath\"=\"") + kReports1251 + "\"\n";
  file += "\"Res\"=dword:00000001\n\n[HKEY_CURRENT_USER\\Tillgate\\Equipment]\n";
  for (int n = 1; n <= 16; ++n) {
    const std::string i = std::to_string(n);
    file += "\"COM" + i + "\"=hex:01,01,0" + (n == 1 ? "3" : "1") + "\n\"MASKA" + i +
            "\"=\"25CCCCCWWWWW\"\n\"STROKA" + i + "\"=\"NC\"\n\"COD_LENGTH" + i +
            "\"=dword:0000000A\n";
  }
  return file + "\"AvtoStart\"=dword:00000000\n";
}

class WindowsSettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<RegistryStore> Open() {
    Status status;
    auto store = OpenRegistryFile(files_, kPath, &status);
    EXPECT_TRUE(status.ok()) << status.message();
    return store;
  }
  std::string& File() { return files_->files()[kPath]; }

  std::shared_ptr<MemoryFileLayer> files_ = std::make_shared<MemoryFileLayer>();
};

TEST_F(WindowsSettingsTest, Regedit4In1251IsReadRightAndLeftByteForByte) {
  const std::string original = Regedit4Export();
  File() = original;
  auto store = Open();
  LoadResult loaded = LoadSettings(*store, "/cwd");
  ASSERT_TRUE(loaded.status.ok()) << loaded.status.message();
  EXPECT_EQ(loaded.settings.goods_folder, "D:\\Магазин\\Товары");
  EXPECT_EQ(loaded.settings.report_folder, "D:\\Магазин\\Отчёты");
  EXPECT_EQ(loaded.settings.ports[0].model, 3);
  EXPECT_EQ(loaded.settings.ports[0].split_length, 10);

  // Leaving through "Выход" with nothing changed writes nothing at all.
  Settings settings = loaded.settings;
  ASSERT_TRUE(SaveSettings(*store, settings, ControlsAsLoaded(loaded.settings)).ok());
  EXPECT_EQ(files_->replace_count(), 0);
  EXPECT_EQ(File(), original);
}

TEST_F(WindowsSettingsTest, AChangedValueIsWrittenInTheFilesOwnEncoding) {
  File() = Regedit4Export();
  auto store = Open();
  Settings settings = LoadSettings(*store, "/cwd").settings;
  SaveControls controls = ControlsAsLoaded(settings);
  controls.auto_start_checked = true;
  ASSERT_TRUE(SaveSettings(*store, settings, controls).ok());
  EXPECT_EQ(files_->replace_count(), 1);
  // Still a REGEDIT4 file in code page 1251: the folder names keep their bytes.
  EXPECT_EQ(File().rfind("REGEDIT4\r\n", 0), 0u);
  EXPECT_NE(File().find(std::string("\"InPath\"=\"") + kGoods1251 + "\""), std::string::npos);
  EXPECT_EQ(File().find("\xEF\xBF\xBD"), std::string::npos);  // no replacement character
  auto again = Open();
  LoadResult reloaded = LoadSettings(*again, "/cwd");
  EXPECT_EQ(reloaded.settings.report_folder, "D:\\Магазин\\Отчёты");
  EXPECT_EQ(reloaded.settings.auto_start, 1);
}

TEST_F(WindowsSettingsTest, TextCodePage1251CannotHoldTurnsTheFileIntoUtf8) {
  File() = Regedit4Export();
  auto store = Open();
  ASSERT_TRUE(store->OpenKey(kDataBaseKey, false));
  ASSERT_TRUE(store->WriteString(kInPathValue, "/srv/магазин/ω").ok());
  EXPECT_EQ(File().rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_TRUE(IsValidUtf8(File()));
  auto again = Open();
  Settings settings = LoadSettings(*again, "/cwd").settings;
  EXPECT_EQ(settings.goods_folder, "/srv/магазин/ω");
  EXPECT_EQ(settings.report_folder, "D:\\Магазин\\Отчёты");
}

TEST_F(WindowsSettingsTest, EncodingIsDetectedAndKeptOnAWrite) {
  struct Case {
    const char* name;
    std::string file;
    RegFileEncoding encoding;
    const char* in_path;
  };
  std::string utf16;
  ASSERT_TRUE(Utf8ToUtf16Le(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n"
      "\"InPath\"=\"/srv/Товары\"\r\n",
      &utf16));
  const Case cases[] = {
      {"utf-8",
       "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
       "\"InPath\"=\"/srv/Товары\"\n",
       RegFileEncoding::kUtf8, "/srv/Товары"},
      {"utf-8 with mark",
       "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n"
       "\"InPath\"=\"/srv/Товары\"\n",
       RegFileEncoding::kUtf8WithBom, "/srv/Товары"},
      {"utf-16", "\xFF\xFE" + utf16, RegFileEncoding::kUtf16Le, "/srv/Товары"},
      // Version 5.00 header, but bytes that are not UTF-8.
      {"1251 under 5.00",
       "Windows Registry Editor Version 5.00\n"
       "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\n\"InPath\"=\"/srv/\xD2\xEE\xE2\"\n",
       RegFileEncoding::kCp1251, "/srv/Тов"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegDocument document;
    ASSERT_TRUE(ParseRegFile(c.file, &document).ok());
    EXPECT_EQ(document.encoding, c.encoding);
    File() = c.file;
    auto store = Open();
    ASSERT_TRUE(store->OpenKey(kDataBaseKey, false));
    std::string in_path;
    ASSERT_TRUE(store->ReadString(kInPathValue, &in_path).ok());
    EXPECT_EQ(in_path, c.in_path);
    ASSERT_TRUE(store->WriteDword(kResValue, 1).ok());
    RegDocument written;
    ASSERT_TRUE(ParseRegFile(File(), &written).ok());
    EXPECT_EQ(written.encoding, c.encoding);
    auto again = Open();
    ASSERT_TRUE(again->OpenKey(kDataBaseKey, false));
    ASSERT_TRUE(again->ReadString(kInPathValue, &in_path).ok());
    EXPECT_EQ(in_path, c.in_path);
  }
}

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string text = Cp1251ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(text));
  std::string back;
  ASSERT_TRUE(Utf8ToCp1251(text, &back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(Cp1251ToUtf8("\xB8\xA8\xB9"), "ёЁ№");
  EXPECT_FALSE(Utf8ToCp1251("ω", &back));
  EXPECT_FALSE(Utf8ToCp1251("\xD0", &back));  // cut short
}

TEST(Utf8, MalformedSequencesAreRefused) {
  EXPECT_TRUE(IsValidUtf8("plain Товары 𝄞"));
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\x80",
                          "\xD0", "\xE2\x82"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  }
}

TEST(FolderCheck, WindowsPathsAreNamedWithTheirSetting) {
  constexpr PathStyle kPosix = PathStyle::kPosix;
  for (const char* windows :
       {"D:\\", "d:", "C:\\Shop\\Goods", "\\\\server\\share", "shop\\goods"}) {
    EXPECT_TRUE(LooksLikeWindowsPath(windows)) << windows;
    EXPECT_TRUE(LooksForeign(windows, kPosix)) << windows;
  }
  for (const char* local : {"/srv/shop/goods", "relative/goods", "/mnt/d:", ""})
    EXPECT_FALSE(LooksLikeWindowsPath(local)) << local;
  // Said before any folder is looked at: even where every folder would do.
  MemoryFileSystem anything;
  EXPECT_EQ(FolderProblem(anything, "goods folder", "InPath", "D:\\Магазин", kPosix),
            "goods folder (InPath) \"D:\\Магазин\" is a Windows path: set a local folder such "
            "as /srv/shop/goods in the settings file");
  EXPECT_EQ(FolderSettingProblem("goods folder", "InPath", "D:\\Магазин", kPosix),
            FolderProblem(anything, "goods folder", "InPath", "D:\\Магазин", kPosix));
  EXPECT_NE(
      FolderProblem(anything, "report folder", "OutPath", "E:", kPosix).find("/srv/shop/reports"),
      std::string::npos);
  EXPECT_EQ(FolderSettingProblem("report folder", "OutPath", "/srv/shop/reports", kPosix), "");
  EXPECT_EQ(FolderSettingProblem("report folder", "OutPath", "", kPosix),
            "report folder (OutPath) is empty: set a local folder in the settings file");
}

// Settings brought over from Linux name folders Windows would take for the
// current drive's: told with the setting, as the other way round.
TEST(FolderCheck, LinuxPathsAreNamedOnWindows) {
  constexpr PathStyle kWindows = PathStyle::kWindows;
  for (const char* posix : {"/srv/shop/goods", "/"}) EXPECT_TRUE(LooksForeign(posix, kWindows));
  for (const char* windows :
       {"D:\\Магазин", "d:", "\\\\server\\share", "//server/share", "shop/goods", "D:/shop", ""})
    EXPECT_FALSE(LooksForeign(windows, kWindows)) << windows;
  MemoryFileSystem anything;
  EXPECT_EQ(FolderProblem(anything, "goods folder", "InPath", "/srv/shop/goods", kWindows),
            "goods folder (InPath) \"/srv/shop/goods\" is a Linux path: set a folder of this PC "
            "such as D:\\Shop\\Goods in the settings");
  EXPECT_NE(FolderSettingProblem("report folder", "OutPath", "/srv", kWindows).find("Reports"),
            std::string::npos);
  EXPECT_EQ(FolderSettingProblem("goods folder", "InPath", "D:\\Магазин", kWindows), "");
  EXPECT_EQ(FolderSettingProblem("goods folder", "InPath", "", kWindows),
            "goods folder (InPath) is empty: set a local folder in the settings");
}

// The system's own words for what is wrong, after the setting's name.
TEST(FolderCheck, LocalProblemsCarryTheSystemsReason) {
  testing::ScratchDir dir;
  const std::string& base = dir.path();
  FileSystem& files = SystemFileSystem();
  EXPECT_EQ(FolderProblem(files, "goods folder", "InPath", base), "");
  const std::string gone = JoinedPath(base, "gone");
  const Status missing = files.FolderAccess(gone);
  EXPECT_EQ(missing, Status::kNotFound);
  EXPECT_EQ(FolderProblem(files, "goods folder", "InPath", gone),
            "goods folder (InPath) " + gone + ": " + missing.Reason());
  const std::string file = dir.File("plain");
  testing::WriteFile(file, "x");
  for (const std::string& path : {file, JoinedPath(file, "sub")}) {
    const Status not_a_folder = files.FolderAccess(path);
    EXPECT_EQ(not_a_folder, Status::kNotAFolder) << path;
    EXPECT_EQ(FolderProblem(files, "report folder", "OutPath", path),
              "report folder (OutPath) " + path + ": " + not_a_folder.Reason());
  }
  EXPECT_NE(FolderProblem(files, "report folder", "OutPath", "").find("is empty"),
            std::string::npos);
}

}  // namespace
}  // namespace tillgate
