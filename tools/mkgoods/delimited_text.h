#pragma once
// CSV and TSV as spreadsheets write them: a header row, fields separated by
// tabs (when the header has one) or commas, optional double quotes with ""
// for a quote inside. Blank lines are skipped; a UTF-8 byte-order mark is
// dropped.

#include <string>
#include <string_view>
#include <vector>

namespace tillgate::mkgoods {

struct DelimitedTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;  // line number where each row starts
};

// False with `error` ("line N: ...") on an unterminated quote.
bool ParseDelimited(std::string_view text, DelimitedTable* out, std::string* error);

}  // namespace tillgate::mkgoods
