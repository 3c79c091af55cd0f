#include "store/goods_layout.h"

#include <cctype>
#include <charconv>
#include <string>

namespace tillgate {
namespace {

bool LengthWithin(const DbfField& field, int low, int high) {
  return field.length >= low && field.length <= high;
}

}  // namespace

bool ReadGoodsLayout(TDBFF& dbf, File* file, GoodsLayout* layout, std::string* why) {
  std::string ignored;
  std::string& reason = why ? *why : ignored;
  if (dbf.LoadHeaderBytes(file) < 12) {
    reason = "shorter than a dBASE header";
    return false;
  }
  const char* h = dbf.WorkBuffer();
  GoodsLayout found;
  found.header_length = static_cast<uint16_t>(static_cast<unsigned char>(h[8]) |
                                              static_cast<unsigned char>(h[9]) << 8);
  found.record_length = static_cast<uint16_t>(static_cast<unsigned char>(h[10]) |
                                              static_cast<unsigned char>(h[11]) << 8);
  if (found.header_length < kMinHeaderLength) {
    reason = "header length " + std::to_string(found.header_length) + " is below 33";
    return false;
  }
  if (found.record_length < 1 || found.record_length > kMaxGoodsRecordLength) {
    reason = "record length " + std::to_string(found.record_length) + " is not 1..299";
    return false;
  }
  // Every field must lie within the record.
  if (1 + dbf.DeclaredFieldsLength() > found.record_length) {
    reason = "its fields do not fit its record length " + std::to_string(found.record_length);
    return false;
  }
  struct Required {
    const char* name;
    int most;
    DbfField* field;
  };
  for (const Required& r :
       {Required{"CODE", kMaxGoodsFieldLength, &found.code}, Required{"NAME", 1 << 16, &found.name},
        Required{"PRICE", kMaxGoodsFieldLength, &found.price},
        Required{"DIVNUM", kMaxGoodsFieldLength, &found.divnum}}) {
    *r.field = dbf.FindField(r.name, false);
    if (r.field->length == 0) {
      reason = std::string("field ") + r.name + " is missing";
      return false;
    }
    if (!LengthWithin(*r.field, 1, r.most)) {
      reason = std::string("field ") + r.name + " is " + std::to_string(r.field->length) +
               " long, at most " + std::to_string(r.most) + " is usable";
      return false;
    }
  }
  found.code_type = found.code.type;
  found.sh_code = dbf.FindField("SH_CODE", false);
  found.res = dbf.FindField("RES", false);
  found.res_decimals = found.res.decimals;
  *layout = found;
  return true;
}

bool MakeKey(std::string_view code, int length, char type, std::string* key) {
  const int have = static_cast<int>(code.size());
  if (have >= length) {
    key->assign(code);
    return true;
  }
  const std::string pad(static_cast<size_t>(length - have), ' ');
  if (type == 'C') {
    *key = std::string(code) + pad;
  } else if (type == 'N') {
    *key = pad + std::string(code);
  } else {
    return false;
  }
  return true;
}

double ParseDbfNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // Only digits and one point belong to the number: no exponent, no words.
  const size_t begin = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + begin, text.data() + i, value);
  if (error != std::errc()) return 0;
  (void)end;
  return negative ? -value : value;
}

}  // namespace tillgate
