#pragma once
// CSV and TSV as spreadsheets write them: a header row, fields separated by
// commas, semicolons (what a spreadsheet set to Russian writes) or tabs,
// optional double quotes with "" for a quote inside. Blank lines are
// skipped; a UTF-8 byte-order mark is dropped.

#include <string>
#include <string_view>
#include <vector>

namespace tillgate::mkgoods {

struct DelimitedTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;  // line number where each row starts
};

// The separator the header row uses: of tab, ';' and ',' the one it holds
// most often outside quotes (tab, then ';' on a tie); ',' when it holds none.
char DetectDelimiter(std::string_view text);

// False with `error` ("line N: ...") on an unterminated quote. `delimiter` 0
// detects it from the header row.
bool ParseDelimited(std::string_view text, char delimiter, DelimitedTable* out, std::string* error);
inline bool ParseDelimited(std::string_view text, DelimitedTable* out, std::string* error) {
  return ParseDelimited(text, 0, out, error);
}

}  // namespace tillgate::mkgoods
