#pragma once
// Goods files made at random, for holding the key index to the scan of the
// whole file: CODE of every type and length, keys that repeat (with leading
// zeros as weight barcodes leave them), blank and full fields, deleted
// records, headers that miscount, and keys that are not there. The choices
// come from `rng`, a uniform random bit generator: a seeded engine in the
// property test, the input's bytes in the fuzz target.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "store/goods_file.h"
#include "store/store_test_util.h"

namespace tillgate::testing {

struct RandomGoods {
  std::string bytes;
  std::vector<std::string> keys;  // codes worth looking up in it
};

// How much a file may hold: records are fewer than `records`; the codes
// are a few fixed ones (unless not `fixed_codes`: the fuzz target makes
// its own) and `random_codes` more; `random_keys` keys besides those codes
// and their variants.
struct RandomGoodsLimits {
  int records = 120;
  bool fixed_codes = true;
  int random_codes = 12;
  int random_keys = 10;
};

// A look-up's result and what it found, for comparing two look-ups.
std::string DescribeLookUp(LookUpResult result, const GoodsItem& item);
bool SameLookUp(LookUpResult a, const GoodsItem& found_a, LookUpResult b, const GoodsItem& found_b);

template <class Rng>
std::string Digits(Rng& rng, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

// A value for a field of `width`: mostly a code laid out as the field's
// type lays it out, sometimes laid out the other way, blank, full, or with
// spaces where a scan must not mistake them for padding.
template <class Rng>
std::string FieldValue(Rng& rng, const std::vector<std::string>& pool, int width, char type) {
  std::string code = pool[rng() % pool.size()];
  if (static_cast<int>(code.size()) > width) code.resize(static_cast<size_t>(width));
  const std::string pad(static_cast<size_t>(width) - code.size(), ' ');
  switch (rng() % 10) {
    case 0:
      return std::string(static_cast<size_t>(width), ' ');
    case 1:
      return type == 'N' ? code + pad : pad + code;  // the other layout
    case 2:
      return Digits(rng, width);
    case 3:
      if (width > 2) return code.substr(0, 1) + " " + Digits(rng, width - 2);
      [[fallthrough]];
    default:
      return type == 'N' ? pad + code : code + pad;
  }
}

template <class Rng>
RandomGoods MakeRandomGoods(Rng& rng, const RandomGoodsLimits& limits = {}) {
  const char code_type = "CCCNND"[rng() % 6];
  const int code_length = 1 + static_cast<int>(rng() % 25);
  const bool has_barcode = rng() % 4 != 0;
  const int barcode_length = 1 + static_cast<int>(rng() % 25);
  const int name_length = 1 + static_cast<int>(rng() % 40);
  std::vector<FieldDef> fields = {{"CODE", code_type, code_length},
                                  {"NAME", 'C', name_length},
                                  {"PRICE", 'N', 8, 2},
                                  {"DIVNUM", 'C', 1 + static_cast<int>(rng() % 3)}};
  if (has_barcode) fields.push_back({"SH_CODE", 'C', barcode_length});
  if (rng() % 2) fields.push_back({"RES", 'N', 10, 3});
  if (rng() % 3 == 0) fields.push_back({"NOTE", 'C', 1 + static_cast<int>(rng() % 9)});
  std::shuffle(fields.begin(), fields.end(), rng);

  // Few distinct codes, so that keys repeat; of every length, with leading
  // zeros as weight barcodes leave them, and with nibbles past 9 as ":".
  std::vector<std::string> pool;
  if (limits.fixed_codes) pool = {"", "0", "1", "12", "012", "00012", "4600000000011"};
  for (int i = 0; i < limits.random_codes; ++i)
    pool.push_back(Digits(rng, static_cast<int>(rng() % 16)));
  pool.push_back("2" + Digits(rng, 4));
  pool.push_back("12:" + Digits(rng, 2));

  DbfImage image;
  image.fields = fields;
  const int count = static_cast<int>(rng() % static_cast<uint32_t>(limits.records));
  for (int r = 0; r < count; ++r) {
    std::vector<std::string> row;
    for (const FieldDef& f : fields) {
      if (f.name == "CODE" || f.name == "SH_CODE") {
        row.push_back(FieldValue(rng, pool, f.length, f.type));
      } else if (f.name == "NAME") {
        // Now and then a name the register would take for none.
        row.push_back(rng() % 15 == 0 ? std::string(1, '\0') : "Goods " + std::to_string(r));
      } else if (f.name == "PRICE") {
        row.push_back(std::to_string(r) + ".50");
      } else if (f.name == "DIVNUM") {
        row.push_back(std::to_string(r % 10));
      } else {
        row.push_back("");
      }
    }
    image.records.push_back(row);
  }
  // Headers that count more records than there are, or fewer.
  if (rng() % 5 == 0) image.record_count = std::max(0, count + static_cast<int>(rng() % 7) - 3);
  RandomGoods goods;
  goods.bytes = image.Bytes();
  // Deleted records are keys like any other.
  const size_t header = static_cast<size_t>(image.HeaderLength());
  const size_t length = static_cast<size_t>(image.RecordLength());
  for (int r = 0; r < count; ++r)
    if (rng() % 6 == 0) goods.bytes[header + length * static_cast<size_t>(r)] = '*';

  goods.keys = pool;
  for (const std::string& code : pool) {
    goods.keys.push_back(code + " ");
    goods.keys.push_back(" " + code);
    if (!code.empty()) goods.keys.push_back(code.substr(0, code.size() - 1));
    goods.keys.push_back("0" + code);
  }
  for (int i = 0; i < limits.random_keys; ++i)
    goods.keys.push_back(Digits(rng, static_cast<int>(rng() % 27)));
  return goods;
}

}  // namespace tillgate::testing
