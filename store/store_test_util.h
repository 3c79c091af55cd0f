#pragma once
// Helpers for the store's tests: scratch folders, goods files built from a
// field list, and an independent reading of DBF files through Python's
// dbfread.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/scratch_dir.h"

namespace tillgate::testing {

struct FieldDef {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// A DBF image: header from `fields`, then `records`, each the field values
// left-aligned (numbers right-aligned) and padded to the field widths.
struct DbfImage {
  std::vector<FieldDef> fields;
  std::vector<std::vector<std::string>> records;
  // Overrides of the header's own numbers, for damaged files (-1 = as built).
  int64_t record_count = -1;
  int header_length = -1;
  int record_length = -1;

  std::string Bytes() const;
  int RecordLength() const;
  int HeaderLength() const;
};

// Typical goods fields: CODE C 13, NAME C 30, PRICE N 10.2, DIVNUM C 2,
// SH_CODE C 13, RES N 10.3.
std::vector<FieldDef> GoodsFields();
// One goods record for GoodsFields().
std::vector<std::string> GoodsRow(const std::string& code, const std::string& name,
                                  const std::string& price, const std::string& divnum,
                                  const std::string& barcode, const std::string& res);

// The records of a DBF file read straight from its bytes, in file order:
// field name -> text without leading and trailing spaces. Empty when the
// file is not a DBF file.
using DbfRecord = std::map<std::string, std::string>;
std::vector<DbfRecord> ReadDbfRecords(const std::string& path);

// The file as Python's dbfread reads it (code page 866): the header's record
// count and each record's values as Python prints them, joined by "|".
// Empty with `*error` set when the reader failed.
struct DbfreadResult {
  bool ok = false;
  std::string error;
  int64_t record_count = -1;
  std::vector<std::string> field_names;
  std::vector<std::string> rows;
};
DbfreadResult ReadWithDbfread(const std::string& path);

// A journal entry as a version before stock levels and register owners
// wrote it: an operation or a withdrawal without them; a stock or goods
// file entry, which it never wrote, as nothing (empty). Others as they are.
std::string InOlderFormat(const std::string& entry);

}  // namespace tillgate::testing
