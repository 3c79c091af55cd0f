#include "tools/mkgoods/goods_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/child_process.h"
#include "store/cp866.h"

namespace tillgate::mkgoods {
namespace {

namespace fs = std::filesystem;

uint32_t Le(const std::string& f, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(f[at + i]);
  return v;
}

GoodsRows FromText(const std::string& text) {
  DelimitedTable table;
  GoodsRows goods;
  std::string error;
  EXPECT_TRUE(ParseDelimited(text, &table, &error)) << error;
  EXPECT_TRUE(GoodsFromTable(table, &goods, &error)) << error;
  return goods;
}

std::string ErrorOf(const std::string& text, const GoodsFileOptions& options = {}) {
  DelimitedTable table;
  GoodsRows goods;
  std::string error, file;
  if (ParseDelimited(text, &table, &error) && GoodsFromTable(table, &goods, &error) &&
      MakeGoodsFile(goods, options, DbfDate{2026, 12, 7}, &file, &error)) {
    ADD_FAILURE() << "accepted: " << text;
  }
  return error;
}

// Reads a DBF with the independent reader from Debian and prints the header
// facts and every record, fields joined by '|'.
std::string ReadWithDbfread(const fs::path& path) {
  const std::string script =
      "import sys, dbfread\n"
      "t = dbfread.DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict')\n"
      "print(t.date.isoformat(), len(t), t.header.headerlen, t.header.recordlen)\n"
      "print(' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) "
      "for f in t.fields))\n"
      "for r in t:\n"
      "    print('|'.join(repr(v) for v in r.values()))\n";
  const fs::path script_path = path.string() + ".py";
  std::ofstream(script_path) << script;
  const std::string command = "/usr/bin/python3 " + script_path.string() + " " + path.string();
  std::string out;
  EXPECT_EQ(testing::RunShell(command, &out), 0) << out;
  return out;
}

class GoodsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mkgoods_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path Write(const std::string& bytes) {
    const fs::path path = dir_ / "tovars.dbf";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path dir_;
};

TEST_F(GoodsFileTest, HeaderDescriptorsAndRecordsAreLaidOutAsDbaseThree) {
  const GoodsRows goods = FromText(
      "code,name,price,divnum,sh_code,res\n"
      "101,Хлеб,45.9,1,4601234000017,120\n"
      "20001,Сыр (вес),649,3,20001,\n");
  std::string file, error;
  ASSERT_TRUE(MakeGoodsFile(goods, {}, DbfDate{2026, 12, 7}, &file, &error)) << error;
  // CODE C6, NAME C34, PRICE N12.2, DIVNUM C1, SH_CODE C13, RES N12.3
  const int record = 1 + 6 + 34 + 12 + 1 + 13 + 12;
  const int header = 32 + 32 * 6 + 1;
  ASSERT_EQ(file.size(), static_cast<size_t>(header + 2 * record));  // no 0x1A at the end
  EXPECT_EQ(file[0], 0x03);
  EXPECT_EQ(Le(file, 1, 3), 126u | 12u << 8 | 7u << 16);
  EXPECT_EQ(Le(file, 4, 4), 2u);
  EXPECT_EQ(Le(file, 8, 2), static_cast<uint32_t>(header));
  EXPECT_EQ(Le(file, 10, 2), static_cast<uint32_t>(record));
  EXPECT_EQ(file.substr(32, 11), std::string("CODE\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(file[32 + 11], 'C');
  EXPECT_EQ(file[96 + 11], 'N');  // PRICE
  EXPECT_EQ(file[96 + 16], 12);
  EXPECT_EQ(file[96 + 17], 2);
  EXPECT_EQ(file[header - 1], 0x0D);
  const std::string first = file.substr(header, record);
  EXPECT_EQ(first[0], ' ');
  EXPECT_EQ(first.substr(1, 6), "101   ");
  EXPECT_EQ(first.substr(7, 34), Utf8ToCp866("Хлеб") + std::string(30, ' '));
  EXPECT_EQ(first.substr(41, 12), "       45.90");
  const std::string second = file.substr(header + record, record);
  EXPECT_EQ(second.substr(record - 12), std::string(12, ' '));  // empty stock stays blank
}

TEST_F(GoodsFileTest, FieldTextsFitOrAreRefused) {
  EXPECT_EQ(NumericField("12.5", 10, 3), "    12.500");
  EXPECT_EQ(NumericField(" 7,25 ", 6, 2), "  7.25");
  EXPECT_EQ(NumericField("-3", 5, 1), " -3.0");
  EXPECT_FALSE(NumericField("123456", 5, 0).has_value());
  EXPECT_FALSE(NumericField("12x", 8, 2).has_value());
  EXPECT_FALSE(NumericField("", 8, 2).has_value());
  EXPECT_EQ(CharacterField("ab", 4), "ab  ");
  EXPECT_FALSE(CharacterField("abcde", 4).has_value());

  GoodsFileOptions numeric;
  numeric.code_type = 'N';
  numeric.code_width = 5;
  const GoodsRows goods = FromText("CODE\tNAME\tPRICE\tDIVNUM\n12\tМука\t1,5\t2\n");
  EXPECT_FALSE(goods.has_sh_code);
  std::string file, error;
  ASSERT_TRUE(MakeGoodsFile(goods, numeric, DbfDate{2026, 1, 2}, &file, &error)) << error;
  const int header = 32 + 32 * 4 + 1;
  EXPECT_EQ(file.substr(header + 1, 5), "   12");  // numeric codes are right-aligned

  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1,a,1,1\n1234567,b,1,1\n"),
            "line 3: CODE \"1234567\" is longer than 6 bytes (give --code-width N for a wider "
            "field)");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\nA1,a,1,1\n", numeric),
            "line 2: CODE \"A1\" is not a number");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1,a,abc,1\n").substr(0, 14), "line 2: PRICE ");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1," + std::string(35, 'x') + ",1,1\n").substr(0, 13),
            "line 2: NAME ");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE\n1,a,1\n"), "column DIVNUM is missing");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM,COLOUR\n").substr(0, 23), "unknown column \"COLOUR\"");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1,\"a,1,1\n"), "line 2: quote not closed");
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1,a,1,1,5\n"),
            "line 2: more fields than the header has");
  GoodsFileOptions bad;
  bad.price_decimals = 12;
  EXPECT_EQ(ErrorOf("CODE,NAME,PRICE,DIVNUM\n1,a,1,1\n", bad),
            "decimals must be 0..15 and below the field width");
}

TEST_F(GoodsFileTest, CsvQuotesBomAndBlankLines) {
  const GoodsRows goods = FromText(
      "\xEF\xBB\xBF"
      "NAME,CODE,PRICE,DIVNUM\r\n"
      "\r\n"
      "\"Конфеты \"\"Ромашка\"\", вес\",7,1.00,4\r\n");
  ASSERT_EQ(goods.rows.size(), 1u);
  EXPECT_EQ(goods.rows[0].name, "Конфеты \"Ромашка\", вес");
  EXPECT_EQ(goods.rows[0].code, "7");
  EXPECT_EQ(goods.rows[0].line, 3);
}

TEST_F(GoodsFileTest, IndependentReaderSeesTheSameRows) {
  const GoodsRows goods = FromText(
      "CODE,NAME,PRICE,DIVNUM,SH_CODE,RES\n"
      "101,Хлеб Бородинский 400 г,45.90,1,4601234000017,120\n"
      "20001,Сыр Российский (вес),649.00,3,20001,12.5\n"
      "602,Спички,25,6,,\n");
  std::string file, error;
  ASSERT_TRUE(MakeGoodsFile(goods, {}, DbfDate{2026, 12, 7}, &file, &error)) << error;
  const std::string out = ReadWithDbfread(Write(file));
  EXPECT_EQ(out,
            "2026-12-07 3 225 79\n"
            "CODE:C:6:0 NAME:C:34:0 PRICE:N:12:2 DIVNUM:C:1:0 SH_CODE:C:13:0 RES:N:12:3\n"
            "'101'|'Хлеб Бородинский 400 г'|45.9|'1'|'4601234000017'|120.0\n"
            "'20001'|'Сыр Российский (вес)'|649.0|'3'|'20001'|12.5\n"
            "'602'|'Спички'|25.0|'6'|''|None\n");
}

TEST_F(GoodsFileTest, SyntheticRecordsAndTheDemoListAreReadable) {
  GoodsFileOptions options;
  options.note_width = 120 - RecordLength(GoodsFields(options, true, true));
  std::string file, error;
  ASSERT_TRUE(MakeGoodsFile(SyntheticGoods(500), options, Today(), &file, &error)) << error;
  EXPECT_EQ(Le(file, 10, 2), 120u);
  const std::string out = ReadWithDbfread(Write(file));
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  EXPECT_NE(line.find(" 500 "), std::string::npos) << line;
  std::getline(lines, line);
  std::getline(lines, line);
  EXPECT_EQ(line, "'1'|'Товар 000001'|38.13|'1'|'4600000000015'|7.011|'synthetic record 1'");

  const char* source = std::getenv("TILLGATE_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream demo(fs::path(source) / "tools/demo/goods.csv", std::ios::binary);
  ASSERT_TRUE(demo);
  std::ostringstream text;
  text << demo.rdbuf();
  const GoodsRows goods = FromText(text.str());
  EXPECT_GE(goods.rows.size(), 20u);
  ASSERT_TRUE(MakeGoodsFile(goods, {}, Today(), &file, &error)) << error;
  EXPECT_NE(ReadWithDbfread(Write(file)).find("'Булочка \"Сдобная\" 100 г'"), std::string::npos);
}

TEST_F(GoodsFileTest, ProgramWritesListsAndSyntheticFilesAndRefusesBadInput) {
  const char* bin = std::getenv("TILLGATE_BINARY_DIR");
  const char* source = std::getenv("TILLGATE_SOURCE_DIR");
  ASSERT_NE(bin, nullptr);
  ASSERT_NE(source, nullptr);
  const std::string program = std::string(bin) + "/tools/mkgoods/tillgate-mkgoods";
  auto run = [&](const std::string& args) {
    return testing::RunShell(program + " " + args + " >/dev/null 2>&1");
  };
  const fs::path out = dir_ / "tovars.dbf";
  ASSERT_EQ(run("--records 30 --code-type N -o " + out.string()), 0);
  std::ifstream in(out, std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Le(file, 4, 4), 30u);
  EXPECT_EQ(Le(file, 10, 2), 120u);
  EXPECT_FALSE(fs::exists(out.string() + ".tmp"));

  EXPECT_EQ(run(std::string(source) + "/tools/demo/goods.csv --date 2026-01-31 -o " + out.string()),
            0);
  EXPECT_NE(ReadWithDbfread(out).find("2026-01-31 21 "), std::string::npos);

  const fs::path bad = dir_ / "bad.csv";
  std::ofstream(bad) << "CODE,NAME,PRICE,DIVNUM\n1,a,x,1\n";
  EXPECT_EQ(run(bad.string() + " -o " + (dir_ / "never.dbf").string()), 2);
  EXPECT_FALSE(fs::exists(dir_ / "never.dbf"));
  EXPECT_EQ(run("--records 5 " + bad.string()), 2);  // list and --records together
  EXPECT_EQ(run("--code-type X --records 1 -o " + out.string()), 2);
}

}  // namespace
}  // namespace tillgate::mkgoods
