#pragma once
// Where the goods fields lie in a goods file's records, and the key a goods
// code is searched by.

#include <string>
#include <string_view>

#include "store/dbff.h"

namespace tillgate {

// Goods records longer than this are refused (a found record must fit the
// look-up's output buffer).
inline constexpr int kMaxGoodsRecordLength = 299;
inline constexpr int kMaxGoodsFieldLength = 25;

struct GoodsLayout {
  DbfField code, name, price, divnum, sh_code, res;
  char code_type = 0;
  int res_decimals = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
};

// Reads the header of `file` into the work buffer and fills `*layout` when the
// file is a usable goods file: header length at least 33, record length
// 1..299 and not shorter than 1 + the fields it declares, CODE 1..25, NAME at
// least 1, PRICE 1..25, DIVNUM 1..25 (SH_CODE and RES optional). `*layout`
// is left untouched when false, and `*why` (when given) says what is wrong,
// naming the field, e.g. "field CODE is missing".
bool ReadGoodsLayout(TDBFF& dbf, File* file, GoodsLayout* layout, std::string* why = nullptr);

// The search key for goods code `code` in a code field of `length` and
// `type`: the code itself when it is not shorter than the field, else padded
// with spaces to the field width (after the code for "C", before it for
// "N"). False for a shorter code in a field of another type: no key.
bool MakeKey(std::string_view code, int length, char type, std::string* key);

// A number as the goods and report files hold it: leading spaces skipped,
// optional sign, digits, "." and decimals; reading stops at the first
// character that cannot continue the number. Blank or no digits: 0.
double ParseDbfNumber(std::string_view text);

}  // namespace tillgate
