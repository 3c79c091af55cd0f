#include "config/settings_transfer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/cp1251.h"
#include "config/memory_file_layer.h"
#include "config/reg_file_store.h"
#include "config/settings.h"

namespace tillgate {
namespace {

std::unique_ptr<RegistryStore> EmptyStore(std::shared_ptr<MemoryFileLayer> files,
                                          const std::string& path) {
  Status status;
  return OpenRegistryFile(std::move(files), path, &status);
}

// A REGEDIT4 export from a Windows PC: code page 1251, CRLF, the settings
// under HKEY_CURRENT_USER beside a key of another program.
std::string Regedit4Export() {
  std::string text =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Name\"=\"x\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n"
      "\"InPath\"=\"D:\\\\Магазин\\\\Товары\"\r\n"
      "\"OutPath\"=\"D:\\\\Магазин\\\\Отчёты\"\r\n"
      "\"Res\"=dword:00000001\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n"
      "\"COM1\"=hex:01,01,02\r\n"
      "\"MASKA1\"=\"25CCCCCWWWWW\"\r\n"
      "\"STROKA1\"=\"NC\"\r\n"
      "\"COD_LENGTH1\"=dword:00000004\r\n"
      "\"Odd\"=hex(2):41,00,00,00\r\n"
      "\"AvtoStart\"=dword:00000001\r\n\r\n";
  std::string bytes;
  EXPECT_TRUE(Utf8ToCp1251(text, &bytes));
  return bytes;
}

// Imported, the settings read as they were written on Windows; exported
// again, regedit's format carries the same values, and a second store
// imported from that export loads the same settings.
TEST(SettingsTransfer, ImportExportAndImportAgain) {
  RegDocument document;
  ASSERT_TRUE(ParseRegFile(Regedit4Export(), &document).ok());
  auto files = std::make_shared<MemoryFileLayer>();
  auto store = EmptyStore(files, "/a.reg");
  const ImportResult imported = ImportSettings(document, *store);
  ASSERT_TRUE(imported.status.ok()) << imported.status.message();
  EXPECT_EQ(imported.values, 8);
  EXPECT_EQ(imported.skipped, 2);  // the other program's value and the hex(2)
  EXPECT_FALSE(store->KeyExists("Software\\Other"));

  const LoadResult loaded = LoadSettings(*store, "/work");
  ASSERT_TRUE(loaded.status.ok());
  EXPECT_TRUE(loaded.settings.installed);
  EXPECT_EQ(loaded.settings.goods_folder, "D:\\Магазин\\Товары");
  EXPECT_EQ(loaded.settings.report_folder, "D:\\Магазин\\Отчёты");
  EXPECT_TRUE(loaded.settings.track_stock);
  EXPECT_EQ(loaded.settings.ports[0].model, 2);
  EXPECT_EQ(loaded.settings.ports[0].split_length, 4);
  EXPECT_EQ(loaded.settings.auto_start, 1);

  const RegDocument exported = ExportSettings(*store, "HKEY_CURRENT_USER");
  const std::string bytes = FormatRegFile(exported);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));  // UTF-16LE with its mark
  RegDocument reread;
  ASSERT_TRUE(ParseRegFile(bytes, &reread).ok());
  EXPECT_EQ(reread.header, kRegHeader5);
  ASSERT_EQ(reread.keys.size(), 3u);
  EXPECT_EQ(reread.keys[1].path, "HKEY_CURRENT_USER\\Tillgate\\DataBase");
  EXPECT_EQ(reread.keys[2].values.size(), 5u);

  auto second = EmptyStore(files, "/b.reg");
  ASSERT_TRUE(ImportSettings(reread, *second).status.ok());
  const LoadResult again = LoadSettings(*second, "/work");
  ASSERT_TRUE(again.status.ok());
  EXPECT_EQ(again.settings.goods_folder, loaded.settings.goods_folder);
  EXPECT_EQ(again.settings.ports[0].mask, "25CCCCCWWWWW");
  EXPECT_EQ(again.settings.ports[0].name_lines, "NC");
}

// The machine's key (the service's) imports as well as the user's; a file
// without the key is refused before anything is written, and a store that
// refuses writes stops the import with its reason.
TEST(SettingsTransfer, OtherRootsFilesWithoutTheKeyAndRefusedWrites) {
  RegDocument machine;
  ASSERT_TRUE(ParseRegFile("Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate\\DataBase]\r\n"
                           "\"InPath\"=\"C:\\\\Shop\"\r\n",
                           &machine)
                  .ok());
  auto files = std::make_shared<MemoryFileLayer>();
  auto store = EmptyStore(files, "/m.reg");
  ASSERT_TRUE(ImportSettings(machine, *store).status.ok());
  ASSERT_TRUE(store->OpenKey("Tillgate\\DataBase", false));
  std::string in;
  ASSERT_TRUE(store->ReadString("InPath", &in).ok());
  EXPECT_EQ(in, "C:\\Shop");

  RegDocument other;
  ASSERT_TRUE(
      ParseRegFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"A\"=\"b\"\r\n", &other)
          .ok());
  auto untouched = EmptyStore(files, "/u.reg");
  EXPECT_FALSE(ImportSettings(other, *untouched).status.ok());
  EXPECT_EQ(files->files().count("/u.reg"), 0u);

  Status status;
  auto readonly = OpenRegistryFileForReading(files, "/r.reg", &status);
  const ImportResult refused = ImportSettings(machine, *readonly);
  EXPECT_FALSE(refused.status.ok());
  EXPECT_EQ(refused.values, 0);

  EXPECT_TRUE(ExportSettings(*untouched, "HKEY_CURRENT_USER").keys.empty());
}

}  // namespace
}  // namespace tillgate
