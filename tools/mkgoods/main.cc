// tillgate-mkgoods: writes a goods file (tovars.dbf) from a CSV/TSV list.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "config/version.h"
#include "config/whole_number.h"
#include "platform/arguments.h"
#include "platform/platform.h"
#include "tools/mkgoods/goods_file.h"
#include "tools/mkgoods/input_text.h"

namespace {

using tillgate::mkgoods::DbfDate;
using tillgate::mkgoods::GoodsFileOptions;
using tillgate::mkgoods::GoodsRows;

constexpr const char* kHelp = R"(Usage: tillgate-mkgoods [options] GOODS.csv|GOODS.tsv
       tillgate-mkgoods [options] --records N

Writes a goods file in dBASE III format (version 0x03, today's date, records
flagged with a space, no end byte) with the fields
  CODE NAME PRICE DIVNUM [SH_CODE] [RES] [NOTE]
The list is read as UTF-8 (with or without a byte-order mark) or, when it is
not valid UTF-8, as code page 1251; names are written in code page 866, and a
character that code page lacks is refused with its line and column. The
input's first row names the columns (any case, any order): CODE NAME PRICE
DIVNUM are required, SH_CODE and RES are written when present, NOTE when
--note-width is given. Fields are separated by what the header row uses most:
tabs, semicolons or commas; double quotes may enclose a field; a comma is a
decimal point in numbers. A value that does not fit its field is an error,
never cut short; a DIVNUM that is not a department 1-6 is warned about.

Options:
  -o, --output PATH     file to write (tovars.dbf); written to PATH.tmp first,
                        then renamed, so readers never see half a file
  --delimiter D         field separator: "," ";" or "tab"      [detected]
  --encoding E          utf-8 or cp1251                        [detected]
  --replace             write "?" for characters code page 866 lacks
                        instead of refusing the list
  --records N           write N synthetic records instead of reading a list
                        (record length 120 unless --note-width is given)
  --code-type C|N       type of CODE (N: digits, right-aligned)      [C]
  --code-width N        [6]       --name-width N      [34]
  --price-width N       [12]      --price-decimals N  [2]
  --divnum-width N      [1]       --sh-code-width N   [13]
  --res-width N         [12]      --res-decimals N    [3]
  --note-width N        extra character field NOTE  [0: none]
  --no-sh-code          leave SH_CODE out
  --no-res              leave RES out
  --date YYYY-MM-DD     header date instead of today
  --version             print the version
  --help                this text
)";

int Usage(const std::string& message) {
  std::cerr << "tillgate-mkgoods: " << message << "\n(see tillgate-mkgoods --help)\n";
  return 2;
}

bool Whole(const char* text, long max, long* out) {
  long long value = 0;
  if (text == nullptr || !tillgate::ParseWholeNumber(text, max, &value)) return false;
  *out = static_cast<long>(value);
  return true;
}

// Writes `bytes` beside `path` and renames the copy over it, so that a
// reader never finds half a file.
tillgate::Status WriteWhole(const std::string& path, const std::string& bytes) {
  tillgate::FileSystem& files = tillgate::SystemFileSystem();
  const std::string temp = path + ".tmp";
  std::unique_ptr<tillgate::File> file;
  tillgate::Status status = files.Create(temp, tillgate::OpenMode::kReadWriteExclusive,
                                         tillgate::Readers::kEveryone, &file);
  if (status == tillgate::Status::kExists) {
    // Left by a run that was cut short.
    files.Unlink(temp);
    status = files.Create(temp, tillgate::OpenMode::kReadWriteExclusive,
                          tillgate::Readers::kEveryone, &file);
  }
  if (status.ok()) status = file->WriteAt(0, bytes.data(), bytes.size());
  if (file) {
    const tillgate::Status closed = file->Close();
    if (status.ok()) status = closed;
  }
  if (status.ok()) status = files.RenameReplacing(temp, path);
  if (!status.ok() && file) files.Unlink(temp);
  return status;
}

// Decodes, checks and parses a goods list.
bool ReadList(const std::string& bytes, char delimiter, tillgate::mkgoods::InputEncoding encoding,
              bool replace, GoodsRows* goods, std::string* error) {
  std::string text;
  tillgate::mkgoods::InputEncoding used;
  if (!tillgate::mkgoods::DecodeInput(bytes, encoding, &text, &used, error)) return false;
  int line = 0, column = 0;
  std::string character;
  if (!replace && tillgate::mkgoods::FindCharacterOutside866(text, &line, &column, &character)) {
    *error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": \"" +
             character + "\" has no code page 866 form (read as " +
             tillgate::mkgoods::EncodingName(used) +
             "); change it, or give --replace to write \"?\" for it";
    return false;
  }

  tillgate::mkgoods::DelimitedTable table;
  return tillgate::mkgoods::ParseDelimited(text, delimiter, &table, error) &&
         tillgate::mkgoods::GoodsFromTable(table, goods, error);
}

}  // namespace

int main(int argc, char** argv) {
  // As UTF-8 on every system (a Cyrillic file name on Windows).
  tillgate::ProgramArguments arguments(argc, argv);
  argc = arguments.argc();
  argv = arguments.argv();
  GoodsFileOptions options;
  std::string output = "tovars.dbf";
  std::string input;
  long records = -1;
  bool note_given = false;
  char delimiter = 0;
  tillgate::mkgoods::InputEncoding encoding = tillgate::mkgoods::InputEncoding::kDetect;
  bool replace = false;
  DbfDate date = tillgate::mkgoods::Today();

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    auto number = [&](int* target) {
      if (!Whole(next, 100000000, &n)) return false;
      *target = static_cast<int>(n);
      ++i;
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    } else if (arg == "--version") {
      tillgate::PrintVersion();
      return 0;
    } else if (arg == "-o" || arg == "--output") {
      if (next == nullptr) return Usage(arg + " needs a path");
      output = next;
      ++i;
    } else if (arg == "--records") {
      if (!Whole(next, 100000000, &records)) return Usage("--records needs a number");
      ++i;
    } else if (arg == "--code-type") {
      if (next == nullptr || std::strlen(next) != 1) return Usage("--code-type is C or N");
      options.code_type = next[0];
      ++i;
    } else if (arg == "--delimiter") {
      const std::string d = next ? next : "";
      if (d != "," && d != ";" && d != "tab" && d != "\t")
        return Usage("--delimiter is \",\", \";\" or \"tab\"");
      delimiter = d == "," ? ',' : d == ";" ? ';' : '\t';
      ++i;
    } else if (arg == "--encoding") {
      if (next == nullptr || !tillgate::mkgoods::ParseEncodingName(next, &encoding))
        return Usage("--encoding is utf-8 or cp1251");
      ++i;
    } else if (arg == "--replace") {
      replace = true;
    } else if (arg == "--no-sh-code") {
      options.sh_code = false;
    } else if (arg == "--no-res") {
      options.res = false;
    } else if (arg == "--date") {
      if (next == nullptr ||
          std::sscanf(next, "%d-%d-%d", &date.year, &date.month, &date.day) != 3 ||
          date.year < 1900 || date.year > 2155 || date.month < 1 || date.month > 12 ||
          date.day < 1 || date.day > 31) {
        return Usage("--date needs YYYY-MM-DD");
      }
      ++i;
    } else if (arg.rfind("--", 0) == 0) {
      int* target = arg == "--code-width"       ? &options.code_width
                    : arg == "--name-width"     ? &options.name_width
                    : arg == "--price-width"    ? &options.price_width
                    : arg == "--price-decimals" ? &options.price_decimals
                    : arg == "--divnum-width"   ? &options.divnum_width
                    : arg == "--sh-code-width"  ? &options.sh_code_width
                    : arg == "--res-width"      ? &options.res_width
                    : arg == "--res-decimals"   ? &options.res_decimals
                    : arg == "--note-width"     ? &options.note_width
                                                : nullptr;
      if (target == nullptr) return Usage("unknown option \"" + arg + "\"");
      if (!number(target)) return Usage(arg + " needs a number");
      if (target == &options.note_width) note_given = true;
    } else if (input.empty()) {
      input = arg;
    } else {
      return Usage("only one input list");
    }
  }
  if ((records >= 0) == !input.empty()) return Usage("give either a goods list or --records N");

  GoodsRows goods;
  std::string error;
  if (records >= 0) {
    goods = tillgate::mkgoods::SyntheticGoods(static_cast<int>(records));
    if (!note_given) {
      // Pad the record to 120 bytes, a typical length for benchmarks.
      const int length =
          tillgate::mkgoods::RecordLength(tillgate::mkgoods::GoodsFields(options, true, true));
      options.note_width = length < 120 ? 120 - length : 0;
    }
  } else {
    std::ifstream in(input, std::ios::binary);
    if (!in) return Usage("cannot read " + input);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!ReadList(bytes.str(), delimiter, encoding, replace, &goods, &error))
      return Usage(input + ": " + error);
    for (const std::string& warning : tillgate::mkgoods::DivnumWarnings(goods))
      std::cerr << "tillgate-mkgoods: warning: " << input << ": " << warning << "\n";
  }
  std::string file;
  if (!tillgate::mkgoods::MakeGoodsFile(goods, options, date, &file, &error)) {
    return Usage((input.empty() ? std::string("synthetic") : input) + ": " + error);
  }
  const int length = tillgate::mkgoods::RecordLength(
      tillgate::mkgoods::GoodsFields(options, goods.has_sh_code, goods.has_res));
  if (length >= 300) {
    std::cerr << "tillgate-mkgoods: warning: record length " << length
              << " is 300 or more; the server refuses such goods files\n";
  }
  if (const tillgate::Status written = WriteWhole(output, file); !written.ok()) {
    std::cerr << "tillgate-mkgoods: cannot write " << output << ": " << written.Reason() << "\n";
    return 1;
  }
  std::cout << output << ": " << goods.rows.size() << " records of " << length << " bytes\n";
  return 0;
}
