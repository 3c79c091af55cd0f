// Goods lists as shops really have them: spreadsheet exports with semicolons
// or tabs, in code page 1251 or UTF-8 with a byte-order mark, characters the
// goods file cannot hold, departments the registers do not know.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/child_process.h"
#include "platform/scratch_dir.h"
#include "tools/mkgoods/delimited_text.h"
#include "tools/mkgoods/goods_file.h"
#include "tools/mkgoods/input_text.h"

namespace tillgate::mkgoods {
namespace {

namespace fs = std::filesystem;

// "Хлеб" and "Молоко" in code page 1251.
constexpr char kBread1251[] = "\xD5\xEB\xE5\xE1";
constexpr char kMilk1251[] = "\xCC\xEE\xEB\xEE\xEA\xEE";

GoodsRows Read(const std::string& bytes, char delimiter = 0,
               InputEncoding encoding = InputEncoding::kDetect) {
  std::string text, error;
  InputEncoding used;
  GoodsRows goods;
  DelimitedTable table;
  EXPECT_TRUE(DecodeInput(bytes, encoding, &text, &used, &error)) << error;
  EXPECT_TRUE(ParseDelimited(text, delimiter, &table, &error)) << error;
  EXPECT_TRUE(GoodsFromTable(table, &goods, &error)) << error;
  return goods;
}

TEST(RealLists, SeparatorsAndEncodingsAreFoundOrGiven) {
  const std::string semicolon_1251 = std::string("CODE;NAME;PRICE;DIVNUM\r\n101;") + kBread1251 +
                                     ";45,90;1\r\n102;\"" + kMilk1251 + "; 1 \xEB\";79,90;2\r\n";
  GoodsRows goods = Read(semicolon_1251);
  ASSERT_EQ(goods.rows.size(), 2u);
  EXPECT_EQ(goods.rows[0].name, "Хлеб");
  EXPECT_EQ(goods.rows[0].price, "45,90");
  EXPECT_EQ(goods.rows[1].name, "Молоко; 1 л");  // the quoted ';' stays

  goods = Read(
      "\xEF\xBB\xBF"
      "CODE\tNAME\tPRICE\tDIVNUM\n7\tСыр, весовой\t649,00\t3\n");
  ASSERT_EQ(goods.rows.size(), 1u);
  EXPECT_EQ(goods.rows[0].name, "Сыр, весовой");

  // Given explicitly, separator and encoding are taken as given.
  std::string text, error;
  InputEncoding used;
  DelimitedTable table;
  ASSERT_TRUE(ParseDelimited("CODE;NAME;PRICE;DIVNUM\n1;a,b;1;1\n", ',', &table, &error));
  EXPECT_FALSE(GoodsFromTable(table, &goods, &error));
  EXPECT_EQ(error.rfind("unknown column \"CODE;NAME;PRICE;DIVNUM\"", 0), 0u) << error;
  EXPECT_FALSE(
      DecodeInput(std::string("CODE\n") + kBread1251, InputEncoding::kUtf8, &text, &used, &error));
  EXPECT_EQ(error.rfind("line 2, column 1: not valid UTF-8", 0), 0u) << error;

  EXPECT_EQ(DetectDelimiter("CODE;NAME;PRICE;DIVNUM\n1,5;x"), ';');
  EXPECT_EQ(DetectDelimiter("CODE,NAME,PRICE,DIVNUM"), ',');
  EXPECT_EQ(DetectDelimiter("CODE\tNAME;X\tPRICE\tDIVNUM"), '\t');
  EXPECT_EQ(DetectDelimiter("\"A;B;C\",NAME"), ',');
  EXPECT_EQ(DetectDelimiter("CODE"), ',');
}

TEST(RealLists, CharactersCodePage866LacksAreFoundWithTheirPlace) {
  int line = 0, column = 0;
  std::string character;
  EXPECT_FALSE(FindCharacterOutside866("CODE,NAME\n1,Ёлка №5 ░\n", &line, &column, &character));
  ASSERT_TRUE(
      FindCharacterOutside866("CODE,NAME\n1,Кофе «Арабика» €\n", &line, &column, &character));
  EXPECT_EQ(line, 2);
  EXPECT_EQ(column, 8);
  EXPECT_EQ(character, "«");
}

TEST(RealLists, DepartmentsOutsideOneToSixAreWarnedAbout) {
  const GoodsRows goods = Read("CODE,NAME,PRICE,DIVNUM\n1,a,1,1\n2,b,1,7\n3,c,1,61\n4,d,1,0\n");
  EXPECT_EQ(
      DivnumWarnings(goods),
      (std::vector<std::string>{"line 3: DIVNUM \"7\" does not start with a department 1-6",
                                "line 5: DIVNUM \"0\" does not start with a department 1-6"}));
}

class MkgoodsProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("TILLGATE_BINARY_DIR");
    ASSERT_NE(bin, nullptr);
    program_ = std::string(bin) + "/tools/mkgoods/tillgate-mkgoods";
    dir_ = scratch_.path();
  }

  // Runs the program on a list with `bytes`; returns the exit status and
  // leaves its standard error in *err.
  int Run(const std::string& bytes, const std::string& options, std::string* err) {
    std::ofstream(dir_ / "list.csv", std::ios::binary) << bytes;
    const std::string command = program_ + " " + options + " " + (dir_ / "list.csv").string() +
                                " -o " + (dir_ / "tovars.dbf").string() + " 2>" +
                                (dir_ / "err").string() + " >/dev/null";
    const int status = testing::RunShell(command);
    std::ifstream in(dir_ / "err");
    err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
  }
  // NAME of record 1 as the file holds it (code page 866 bytes).
  std::string FirstName() {
    std::ifstream in(dir_ / "tovars.dbf", std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = 32 + 32 * 4 + 1;  // CODE NAME PRICE DIVNUM
    return file.size() > header + 7 + 34 ? file.substr(header + 1 + 6, 34) : "";
  }

  std::string program_;
  testing::ScratchDir scratch_;
  fs::path dir_;
};

TEST_F(MkgoodsProgram, ASpreadsheetExportIn1251BecomesCodePage866) {
  std::string err;
  ASSERT_EQ(
      Run(std::string("CODE;NAME;PRICE;DIVNUM\r\n101;") + kBread1251 + ";45,90;1\r\n", "", &err), 0)
      << err;
  EXPECT_EQ(FirstName(), "\x95\xAB\xA5\xA1" + std::string(30, ' '));  // "Хлеб" in 866
  // The same list declared otherwise is read as declared.
  ASSERT_EQ(Run(std::string("CODE;NAME;PRICE;DIVNUM\n101;") + kBread1251 + ";45,90;1\n",
                "--encoding utf-8", &err),
            2);
  EXPECT_NE(err.find("not valid UTF-8"), std::string::npos) << err;
  ASSERT_EQ(Run("CODE,NAME,PRICE,DIVNUM\n1;2,a,1,1\n", "--delimiter ,", &err), 0) << err;
  EXPECT_EQ(Run("CODE,NAME\n", "--delimiter :", &err), 2);
}

TEST_F(MkgoodsProgram, LackingCharactersAreRefusedOrReplacedOnRequest) {
  std::string err;
  const std::string list = "CODE,NAME,PRICE,DIVNUM\n1,Кофе «Арабика»,10,1\n";
  EXPECT_EQ(Run(list, "", &err), 2);
  EXPECT_NE(err.find("line 2, column 8: \"«\" has no code page 866 form"), std::string::npos)
      << err;
  EXPECT_FALSE(fs::exists(dir_ / "tovars.dbf"));
  ASSERT_EQ(Run(list, "--replace", &err), 0) << err;
  EXPECT_EQ(FirstName().substr(0, 15), "\x8A\xAE\xE4\xA5 ?\x80\xE0\xA0\xA1\xA8\xAA\xA0? ");
}

TEST_F(MkgoodsProgram, WarningsAndTheWidthOptionAreNamed) {
  std::string err;
  ASSERT_EQ(Run("CODE,NAME,PRICE,DIVNUM\n1,a,1,9\n", "", &err), 0) << err;
  EXPECT_NE(err.find("warning: " + (dir_ / "list.csv").string() +
                     ": line 2: DIVNUM \"9\" does not start with a department 1-6"),
            std::string::npos)
      << err;
  EXPECT_EQ(Run("CODE,NAME,PRICE,DIVNUM\n1," + std::string(40, 'x') + ",1,1\n", "", &err), 2);
  EXPECT_NE(err.find("is longer than 34 bytes (give --name-width N"), std::string::npos) << err;
  EXPECT_EQ(
      Run("CODE,NAME,PRICE,DIVNUM\n1," + std::string(40, 'x') + ",1,1\n", "--name-width 40", &err),
      0)
      << err;
}

}  // namespace
}  // namespace tillgate::mkgoods
