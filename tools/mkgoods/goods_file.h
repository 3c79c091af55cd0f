#pragma once
// The goods file tovars.dbf from rows of goods: field layout, record
// encoding (names to code page 866) and synthetic rows for benchmarks.

#include <string>
#include <vector>

#include "tools/mkgoods/dbf_table.h"
#include "tools/mkgoods/delimited_text.h"

namespace tillgate::mkgoods {

struct GoodsFileOptions {
  char code_type = 'C';
  int code_width = 6;
  int name_width = 34;
  int price_width = 12;
  int price_decimals = 2;
  int divnum_width = 1;
  int sh_code_width = 13;
  int res_width = 12;
  int res_decimals = 3;
  bool sh_code = true;  // write SH_CODE when the rows have it
  bool res = true;      // write RES when the rows have it
  int note_width = 0;   // an extra character field NOTE, 0 for none
};

// One goods row as read (UTF-8 texts, numbers as text).
struct GoodsRow {
  std::string code, name, price, divnum, sh_code, res, note;
  int line = 0;  // source line, for messages
};

struct GoodsRows {
  std::vector<GoodsRow> rows;
  bool has_sh_code = false;
  bool has_res = false;
};

// Maps the table's columns (CODE, NAME, PRICE, DIVNUM required; SH_CODE, RES,
// NOTE optional; any case) to rows. False with `error` on a missing or
// unknown column or a row with more fields than the header.
bool GoodsFromTable(const DelimitedTable& table, GoodsRows* out, std::string* error);

// One warning per row whose DIVNUM does not start with a department 1..6
// (the registers know six): "line N: DIVNUM "7" does not start with ...".
std::vector<std::string> DivnumWarnings(const GoodsRows& goods);

// `count` rows with rising codes, EAN-13 barcodes, departments 1..6.
GoodsRows SyntheticGoods(int count);

// The descriptors in file order: CODE NAME PRICE DIVNUM [SH_CODE] [RES] [NOTE].
std::vector<DbfField> GoodsFields(const GoodsFileOptions& options, bool with_sh_code,
                                  bool with_res);

// Checks widths and types of the options; false with `error` otherwise.
bool CheckOptions(const GoodsFileOptions& options, std::string* error);

// The whole file; false with `error` ("line N: ...", naming the option that
// widens the field) when a value does not fit its field. Nothing is ever cut
// short silently.
bool MakeGoodsFile(const GoodsRows& goods, const GoodsFileOptions& options, const DbfDate& date,
                   std::string* file, std::string* error);

}  // namespace tillgate::mkgoods
