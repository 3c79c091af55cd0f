#include "config/reg_document.h"

#include <gtest/gtest.h>

#include <string>

namespace tillgate {
namespace {

// UTF-8 text to UTF-16LE with a byte-order mark, as a Windows export is stored.
std::string ToUtf16LeWithBom(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {
    uint32_t c = static_cast<uint8_t>(utf8[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (extra > 0) c &= 0x3F >> extra;
    for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    i += 1 + extra;
    auto put = [&](uint32_t unit) {
      out.push_back(static_cast<char>(unit & 0xFF));
      out.push_back(static_cast<char>(unit >> 8));
    };
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

const RegValue* Find(const RegDocument& document, const std::string& key, const std::string& name) {
  for (const RegKey& k : document.keys) {
    if (!SameRegName(k.path, key)) continue;
    for (const RegValue& v : k.values) {
      if (SameRegName(v.name, name)) return &v;
    }
  }
  return nullptr;
}

TEST(RegFileReading, WindowsExportInUtf16WithCrLf) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\DataBase]\r\n"
      "\"InPath\"=\"D:\\\\Магазин\\\\Товары\"\r\n"
      "\"Res\"=dword:00000001\r\n\r\n"
      "[HKEY_CURRENT_USER\\Tillgate\\Equipment]\r\n"
      "\"COM1\"=hex:01,01,02\r\n"
      "\"MASKA1\"=\"25CCCCCWWWWW\"\r\n"
      "\"Note\"=\"say \\\"hi\\\" 𝄞\"\r\n"
      "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
      "  16,17\r\n\r\n";
  RegDocument document;
  Status status = ParseRegFile(ToUtf16LeWithBom(text), &document);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(document.keys.size(), 3u);
  const RegValue* in_path = Find(document, "HKEY_CURRENT_USER\\Tillgate\\DataBase", "InPath");
  ASSERT_NE(in_path, nullptr);
  EXPECT_EQ(in_path->type, RegValueType::kString);
  EXPECT_EQ(in_path->text, "D:\\Магазин\\Товары");
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\Tillgate\\DataBase", "Res")->dword, 1u);
  const RegValue* com1 = Find(document, "HKEY_CURRENT_USER\\Tillgate\\Equipment", "com1");
  ASSERT_NE(com1, nullptr);
  EXPECT_EQ(com1->type, RegValueType::kBinary);
  EXPECT_EQ(com1->bytes, std::string("\x01\x01\x02", 3));
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\Tillgate\\Equipment", "Note")->text, "say \"hi\" 𝄞");
  const RegValue* long_value = Find(document, "HKEY_CURRENT_USER\\Tillgate\\Equipment", "Long");
  ASSERT_NE(long_value, nullptr);
  ASSERT_EQ(long_value->bytes.size(), 24u);
  EXPECT_EQ(long_value->bytes[23], '\x17');
}

TEST(RegFileReading, Regedit4LfAndUtf8BomAndComments) {
  RegDocument document;
  Status status = ParseRegFile(
      "\xEF\xBB\xBFREGEDIT4\n; a comment\n[HKEY_CURRENT_USER\\A]\n@=\"default\"\n\"n\" = "
      "dword:1f\n",
      &document);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(document.header, "REGEDIT4");
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\A", "")->text, "default");
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\A", "n")->dword, 0x1Fu);
}

TEST(RegFileReading, DeletionEntriesAndRepeatedKeysApplyInOrder) {
  RegDocument document;
  Status status = ParseRegFile(
      "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[HKEY_CURRENT_USER\\A\\B]\n"
      "[HKEY_CURRENT_USER\\a]\n\"x\"=\"3\"\n\"y\"=-\n[-HKEY_CURRENT_USER\\A\\B]\n",
      &document);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(document.keys.size(), 1u);
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\A", "x")->text, "3");
  EXPECT_EQ(Find(document, "HKEY_CURRENT_USER\\A", "y"), nullptr);
}

TEST(RegFileReading, EmptyFileIsAnEmptyRegistry) {
  RegDocument document;
  EXPECT_TRUE(ParseRegFile("", &document).ok());
  EXPECT_TRUE(document.keys.empty());
}

TEST(RegFileReading, ParseErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"hello\n", "line 1: missing the header"},
      {"REGEDIT4\n\"x\"=\"1\"\n", "line 2: value outside of a key"},
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A\n", "line 3: key line without closing ']'"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"open\n", "line 3: malformed string"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"a\\n\"\n", "line 3: malformed string"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"a\" b\n", "line 3: text after the closing"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n", "line 3: malformed dword"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:xyz\n", "line 3: malformed dword"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,,02\n", "line 3: malformed hex"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:100\n", "line 3: malformed hex"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\\n", "line 3: unfinished hex"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(z):01\n", "line 3: malformed value type"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=qword:1\n", "line 3: unrecognised value data"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nx=1\n", "line 3: unrecognised line"},
      {"\xFF\xFE\x41", "line 1: not valid UTF-16"},
  };
  for (const Case& c : cases) {
    RegDocument document;
    Status status = ParseRegFile(c.text, &document);
    EXPECT_FALSE(status.ok()) << c.text;
    EXPECT_NE(status.message().find(c.message), std::string::npos)
        << c.text << " gave: " << status.message();
  }
}

TEST(RegFileWriting, ExportLayoutRoundTripsEveryType) {
  RegDocument document;
  RegKey key{"HKEY_CURRENT_USER\\Tillgate\\Equipment", {}};
  RegValue text;
  text.name = "Say \"x\"";
  text.text = "C:\\dir\\\"q\"";
  RegValue dword;
  dword.name = "AvtoStart";
  dword.type = RegValueType::kDword;
  dword.dword = 0xDEADBEEF;
  RegValue binary;
  binary.name = "COM1";
  binary.type = RegValueType::kBinary;
  for (int i = 0; i < 100; ++i) binary.bytes.push_back(static_cast<char>(i * 7));
  RegValue other;
  other.name = "Path";
  other.type = RegValueType::kOther;
  other.type_code = "2";
  other.bytes = std::string("%\0P\0%\0\0\0", 8);
  key.values = {text, dword, binary, other};
  document.keys.push_back(key);

  std::string file = FormatRegFile(document);
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Tillgate"
                       "\\Equipment]\r\n\"Say \\\"x\\\"\"=\"C:\\\\dir\\\\\\\"q\\\"\"\r\n"
                       "\"AvtoStart\"=dword:deadbeef\r\n\"COM1\"=hex:00,07,",
                       0),
            0u)
      << file;
  EXPECT_NE(file.find("\"Path\"=hex(2):25,00,50,00,25,00,00,00\r\n"), std::string::npos);
  // Every line fits the export width and no bare LF appears.
  size_t start = 0;
  while (start < file.size()) {
    size_t end = file.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 80u);
    EXPECT_EQ(file.substr(start, end - start).find('\n'), std::string::npos);
    start = end + 2;
  }

  RegDocument again;
  Status status = ParseRegFile(file, &again);
  ASSERT_TRUE(status.ok()) << status.message();
  ASSERT_EQ(again.keys.size(), 1u);
  ASSERT_EQ(again.keys[0].values.size(), 4u);
  EXPECT_EQ(again.keys[0].values[0].name, text.name);
  EXPECT_EQ(again.keys[0].values[0].text, text.text);
  EXPECT_EQ(again.keys[0].values[1].dword, 0xDEADBEEFu);
  EXPECT_EQ(again.keys[0].values[2].bytes, binary.bytes);
  EXPECT_EQ(again.keys[0].values[3].type, RegValueType::kOther);
  EXPECT_EQ(again.keys[0].values[3].type_code, "2");
  EXPECT_EQ(again.keys[0].values[3].bytes, other.bytes);
  EXPECT_EQ(FormatRegFile(again), file);
}

}  // namespace
}  // namespace tillgate
