#include "tools/mkgoods/goods_file.h"

#include <cstdio>

#include "store/cp866.h"

namespace tillgate::mkgoods {
namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// EAN-13 check digit for 12 digits.
char Ean13Check(const std::string& twelve) {
  int sum = 0;
  for (size_t i = 0; i < 12; ++i) sum += (twelve[i] - '0') * (i % 2 == 0 ? 1 : 3);
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool Fail(std::string* error, int line, const std::string& text) {
  *error = "line " + std::to_string(line) + ": " + text;
  return false;
}

// The option that sets the width of field `name`, for the error that says a
// value does not fit.
std::string WidthOption(const std::string& name) {
  std::string option = "--";
  for (char c : name) option += c == '_' ? '-' : static_cast<char>(c - 'A' + 'a');
  return option + "-width";
}

bool EncodeField(const DbfField& f, const std::string& value, int line, std::string* record,
                 std::string* error) {
  std::optional<std::string> text;
  if (f.name == "CODE" && f.type == 'N') {
    if (!AllDigits(value)) return Fail(error, line, "CODE \"" + value + "\" is not a number");
    text = value.size() <= static_cast<size_t>(f.width)
               ? std::optional(std::string(f.width - value.size(), ' ') + value)
               : std::nullopt;
  } else if (f.type == 'N') {
    text = value.empty() ? std::optional(std::string(f.width, ' '))
                         : NumericField(value, f.width, f.decimals);
    if (!text) {
      return Fail(error, line,
                  f.name + " \"" + value + "\" is not a number that fits " +
                      std::to_string(f.width) + "." + std::to_string(f.decimals) + " (see " +
                      WidthOption(f.name) + ")");
    }
  } else {
    text = CharacterField(Utf8ToCp866(value), f.width);
  }
  if (!text) {
    return Fail(error, line,
                f.name + " \"" + value + "\" is longer than " + std::to_string(f.width) +
                    " bytes (give " + WidthOption(f.name) + " N for a wider field)");
  }
  *record += *text;
  return true;
}

const std::string& ValueOf(const GoodsRow& row, const std::string& field) {
  if (field == "CODE") return row.code;
  if (field == "NAME") return row.name;
  if (field == "PRICE") return row.price;
  if (field == "DIVNUM") return row.divnum;
  if (field == "SH_CODE") return row.sh_code;
  if (field == "RES") return row.res;
  return row.note;
}

}  // namespace

bool GoodsFromTable(const DelimitedTable& table, GoodsRows* out, std::string* error) {
  static const char* kKnown[] = {"CODE", "NAME", "PRICE", "DIVNUM", "SH_CODE", "RES", "NOTE"};
  std::vector<int> column_of(7, -1);
  for (size_t c = 0; c < table.header.size(); ++c) {
    const std::string name = Upper(Trim(table.header[c]));
    bool known = false;
    for (int k = 0; k < 7; ++k) {
      if (name == kKnown[k]) {
        column_of[k] = static_cast<int>(c);
        known = true;
      }
    }
    if (!known) {
      *error = "unknown column \"" + name + "\" (known: CODE NAME PRICE DIVNUM SH_CODE RES NOTE)";
      return false;
    }
  }
  for (int k = 0; k < 4; ++k) {
    if (column_of[k] < 0) {
      *error = std::string("column ") + kKnown[k] + " is missing";
      return false;
    }
  }
  out->has_sh_code = column_of[4] >= 0;
  out->has_res = column_of[5] >= 0;
  for (size_t r = 0; r < table.rows.size(); ++r) {
    const auto& cells = table.rows[r];
    if (cells.size() > table.header.size()) {
      return Fail(error, table.lines[r], "more fields than the header has");
    }
    auto cell = [&](int k) {
      const int c = column_of[k];
      return c >= 0 && static_cast<size_t>(c) < cells.size() ? Trim(cells[c]) : std::string();
    };
    GoodsRow row{cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), cell(6), table.lines[r]};
    out->rows.push_back(std::move(row));
  }
  return true;
}

std::vector<std::string> DivnumWarnings(const GoodsRows& goods) {
  std::vector<std::string> warnings;
  for (const GoodsRow& row : goods.rows) {
    const char department = row.divnum.empty() ? 0 : row.divnum[0];
    if (department >= '1' && department <= '6') continue;
    warnings.push_back("line " + std::to_string(row.line) + ": DIVNUM \"" + row.divnum +
                       "\" does not start with a department 1-6");
  }
  return warnings;
}

GoodsRows SyntheticGoods(int count) {
  GoodsRows goods;
  goods.has_sh_code = true;
  goods.has_res = true;
  char text[64];
  for (int i = 1; i <= count; ++i) {
    GoodsRow row;
    row.line = i;
    row.code = std::to_string(i);
    std::snprintf(text, sizeof text, "Товар %06d", i);
    row.name = text;
    std::snprintf(text, sizeof text, "%d.%02d", 1 + (i * 37) % 999, (i * 13) % 100);
    row.price = text;
    row.divnum = std::string(1, static_cast<char>('1' + (i - 1) % 6));
    std::snprintf(text, sizeof text, "460%09d", i % 1000000000);
    row.sh_code = std::string(text) + Ean13Check(text);
    std::snprintf(text, sizeof text, "%d.%03d", (i * 7) % 500, (i * 11) % 1000);
    row.res = text;
    std::snprintf(text, sizeof text, "synthetic record %d", i);
    row.note = text;
    goods.rows.push_back(std::move(row));
  }
  return goods;
}

std::vector<DbfField> GoodsFields(const GoodsFileOptions& o, bool with_sh_code, bool with_res) {
  std::vector<DbfField> fields{
      {"CODE", o.code_type, o.code_width, 0},
      {"NAME", 'C', o.name_width, 0},
      {"PRICE", 'N', o.price_width, o.price_decimals},
      {"DIVNUM", 'C', o.divnum_width, 0},
  };
  if (with_sh_code && o.sh_code) fields.push_back({"SH_CODE", 'C', o.sh_code_width, 0});
  if (with_res && o.res) fields.push_back({"RES", 'N', o.res_width, o.res_decimals});
  if (o.note_width > 0) fields.push_back({"NOTE", 'C', o.note_width, 0});
  return fields;
}

bool CheckOptions(const GoodsFileOptions& o, std::string* error) {
  auto width_ok = [](int w) { return w >= 1 && w <= 254; };
  if (o.code_type != 'C' && o.code_type != 'N') {
    *error = "code type must be C or N";
  } else if (!width_ok(o.code_width) || !width_ok(o.name_width) || !width_ok(o.price_width) ||
             !width_ok(o.divnum_width) || !width_ok(o.sh_code_width) || !width_ok(o.res_width) ||
             o.note_width < 0 || o.note_width > 254) {
    *error = "field widths must be 1..254";
  } else if (o.price_decimals < 0 || o.price_decimals > 15 || o.res_decimals < 0 ||
             o.res_decimals > 15 || o.price_decimals >= o.price_width ||
             o.res_decimals >= o.res_width) {
    *error = "decimals must be 0..15 and below the field width";
  } else {
    return true;
  }
  return false;
}

bool MakeGoodsFile(const GoodsRows& goods, const GoodsFileOptions& options, const DbfDate& date,
                   std::string* file, std::string* error) {
  if (!CheckOptions(options, error)) return false;
  const std::vector<DbfField> fields = GoodsFields(options, goods.has_sh_code, goods.has_res);
  std::vector<std::string> records;
  records.reserve(goods.rows.size());
  for (const GoodsRow& row : goods.rows) {
    std::string record;
    for (const DbfField& f : fields) {
      if (!EncodeField(f, ValueOf(row, f.name), row.line, &record, error)) return false;
    }
    records.push_back(std::move(record));
  }
  *file = BuildDbf(fields, records, date);
  return true;
}

}  // namespace tillgate::mkgoods
