// The settings store over wine's registry: every value type round trip with
// Cyrillic text, names without regard to case, wrong types refused as the
// settings code expects, key trees deleted, both roots.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/registry_store.h"
#include "platform/system_registry.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

// A key of this test's own under the root, gone afterwards.
class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "TillgateTest" + std::to_string(GetCurrentProcessId());
    store_ = OpenSystemRegistry(RegistryRoot::kCurrentUser);
    ASSERT_NE(store_, nullptr);
  }
  void TearDown() override {
    if (store_) store_->DeleteKey(base_);
  }

  // The value as the registry itself holds it.
  static std::wstring RawString(HKEY root, const std::string& key, const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(root, WideFromUtf8(key).c_str(), name, RRF_RT_ANY, &type, buffer, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      return L"<none>";
    return buffer;
  }

  std::string base_;
  std::unique_ptr<RegistryStore> store_;
};

TEST_F(Win32Registry, EveryValueTypeComesBackAsWritten) {
  const std::string key = base_ + "\\DataBase";
  EXPECT_FALSE(store_->KeyExists(key));
  EXPECT_FALSE(store_->OpenKey(key, false));
  ASSERT_TRUE(store_->OpenKey(key, true));
  EXPECT_TRUE(store_->KeyExists(base_));  // parents made too

  ASSERT_TRUE(store_->WriteString("InPath", "D:\\Магазин\\Товары").ok());
  ASSERT_TRUE(store_->WriteDword("Res", 0xCAFE0001u).ok());
  const uint8_t com[3] = {1, 0, 3};
  ASSERT_TRUE(store_->WriteBinary("COM1", com, sizeof com).ok());
  ASSERT_TRUE(store_->WriteString("Empty", "").ok());
  store_->CloseKey();

  // UTF-16 in the registry, as any Windows program reads it.
  EXPECT_EQ(
      RawString(HKEY_CURRENT_USER, key, L"InPath"),
      L"D:\\\u041c\u0430\u0433\u0430\u0437\u0438\u043d\\\u0422\u043e\u0432\u0430\u0440\u044b");

  auto again = OpenSystemRegistry(RegistryRoot::kCurrentUser);
  ASSERT_TRUE(again->OpenKey(key, false));
  std::string text;
  ASSERT_TRUE(again->ReadString("InPath", &text).ok());
  EXPECT_EQ(text, "D:\\Магазин\\Товары");
  ASSERT_TRUE(again->ReadString("Empty", &text).ok());
  EXPECT_EQ(text, "");
  uint32_t number = 0;
  ASSERT_TRUE(again->ReadDword("Res", &number).ok());
  EXPECT_EQ(number, 0xCAFE0001u);
  uint8_t bytes[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  size_t size = 0;
  ASSERT_TRUE(again->ReadBinary("COM1", bytes, sizeof bytes, &size).ok());
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], 9);  // past the value: untouched

  RegValueType type;
  ASSERT_TRUE(again->GetValueType("InPath", &type));
  EXPECT_EQ(type, RegValueType::kString);
  ASSERT_TRUE(again->GetValueType("Res", &type));
  EXPECT_EQ(type, RegValueType::kDword);
  ASSERT_TRUE(again->GetValueType("COM1", &type));
  EXPECT_EQ(type, RegValueType::kBinary);
  EXPECT_FALSE(again->GetValueType("Missing", &type));
  const wchar_t expand[] = L"%TEMP%";
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, WideFromUtf8(key).c_str(), 0, KEY_SET_VALUE, &raw),
            ERROR_SUCCESS);
  RegSetValueExW(raw, L"Other", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                 sizeof expand);
  RegCloseKey(raw);
  ASSERT_TRUE(again->GetValueType("Other", &type));
  EXPECT_EQ(type, RegValueType::kOther);
}

// Names as the registry compares them; a value of another type, or one too
// long for the reader, is refused with the settings code's message and
// leaves the reader's variable alone.
TEST_F(Win32Registry, NamesWithoutCaseAndWrongTypesRefused) {
  const std::string key = base_ + "\\Equipment";
  ASSERT_TRUE(store_->OpenKey(key, true));
  ASSERT_TRUE(store_->WriteString("MASKA1", "25CCCCCWWWWW").ok());
  ASSERT_TRUE(store_->WriteDword("COD_LENGTH1", 10).ok());
  const uint8_t com[3] = {1, 1, 3};
  ASSERT_TRUE(store_->WriteBinary("COM1", com, sizeof com).ok());
  EXPECT_TRUE(store_->KeyExists(base_ + "\\EQUIPMENT"));
  EXPECT_TRUE(store_->ValueExists("maska1"));
  ASSERT_TRUE(store_->OpenKey(base_ + "\\equipment", false));
  std::string text = "kept";
  ASSERT_TRUE(store_->ReadString("Maska1", &text).ok());
  EXPECT_EQ(text, "25CCCCCWWWWW");

  text = "kept";
  const Status wrong = store_->ReadString("COD_LENGTH1", &text);
  EXPECT_EQ(wrong.message(), "Invalid data type for 'COD_LENGTH1'");
  EXPECT_EQ(text, "kept");
  uint32_t number = 7;
  EXPECT_EQ(store_->ReadDword("MASKA1", &number).message(), "Invalid data type for 'MASKA1'");
  EXPECT_EQ(store_->ReadDword("Missing", &number).message(), "Invalid data type for 'Missing'");
  EXPECT_EQ(number, 7u);
  uint8_t two[2] = {9, 9};
  size_t size = 99;
  EXPECT_EQ(store_->ReadBinary("COM1", two, sizeof two, &size).message(),
            "Invalid data type for 'COM1'");
  EXPECT_EQ(two[0], 9);
  EXPECT_EQ(size, 99u);

  // Text the registry cannot hold as it is given.
  EXPECT_EQ(store_->WriteString("Bad", std::string("a\0b", 3)).message(),
            "Failed to set data for 'Bad'");
  EXPECT_EQ(store_->WriteString("Bad", "\xff").message(), "Failed to set data for 'Bad'");
  EXPECT_FALSE(store_->ValueExists("Bad"));
  // No current key: nothing is read or written.
  store_->CloseKey();
  EXPECT_FALSE(store_->ValueExists("MASKA1"));
  EXPECT_EQ(store_->WriteDword("Res", 1).message(), "Failed to set data for 'Res'");
}

TEST_F(Win32Registry, DeletingAKeyTakesItsTreeAndClosesTheKeyInside) {
  ASSERT_TRUE(store_->OpenKey(base_ + "\\DataBase", true));
  ASSERT_TRUE(store_->WriteDword("Res", 1).ok());
  ASSERT_TRUE(store_->OpenKey(base_ + "\\Equipment\\Deeper", true));
  ASSERT_TRUE(store_->WriteDword("AvtoStart", 0).ok());
  EXPECT_FALSE(store_->DeleteKey(base_ + "\\Missing"));
  EXPECT_FALSE(store_->DeleteKey(""));  // never the root itself
  ASSERT_TRUE(store_->DeleteKey(base_));
  EXPECT_FALSE(store_->KeyExists(base_));
  EXPECT_FALSE(store_->KeyExists(base_ + "\\DataBase"));
  EXPECT_EQ(store_->WriteDword("AvtoStart", 1).message(), "Failed to set data for 'AvtoStart'");
  EXPECT_FALSE(store_->DeleteKey(base_));

  // A current key outside the deleted tree stays open.
  ASSERT_TRUE(store_->OpenKey(base_ + "\\Kept", true));
  ASSERT_TRUE(store_->OpenKey(base_ + "\\KeptToo", true));
  ASSERT_TRUE(store_->DeleteKey(base_ + "\\Kept"));
  EXPECT_TRUE(store_->WriteDword("Res", 1).ok());
}

// The service's settings live under HKEY_LOCAL_MACHINE\SOFTWARE.
TEST_F(Win32Registry, TheServicesRootIsTheMachinesSoftwareKey) {
  auto machine = OpenSystemRegistry(RegistryRoot::kLocalMachineSoftware);
  ASSERT_NE(machine, nullptr);
  if (!machine->OpenKey(base_ + "\\DataBase", true))
    GTEST_SKIP() << "this account may not write HKEY_LOCAL_MACHINE\\SOFTWARE";
  ASSERT_TRUE(machine->WriteString("OutPath", "C:\\Отчёты").ok());
  EXPECT_EQ(RawString(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + base_ + "\\DataBase", L"OutPath"),
            L"C:\\\u041e\u0442\u0447\u0451\u0442\u044b");
  EXPECT_FALSE(store_->KeyExists(base_ + "\\DataBase"));  // not the user's
  EXPECT_TRUE(machine->DeleteKey(base_));
  EXPECT_FALSE(machine->KeyExists(base_));
}

}  // namespace
}  // namespace tillgate
