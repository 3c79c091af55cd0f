#include "tools/mkgoods/delimited_text.h"

namespace tillgate::mkgoods {

char DetectDelimiter(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    tabs += c == '\t';
    semicolons += c == ';';
    commas += c == ',';
  }
  if (tabs > 0 && tabs >= semicolons && tabs >= commas) return '\t';
  if (semicolons > 0 && semicolons >= commas) return ';';
  return ',';
}

bool ParseDelimited(std::string_view text, char delimiter, DelimitedTable* out,
                    std::string* error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const char sep = delimiter != 0 ? delimiter : DetectDelimiter(text);

  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool row_has_text = false;
  int line = 1;
  int row_line = 1;
  auto end_row = [&] {
    row.push_back(field);
    field.clear();
    if (row_has_text) {
      if (out->header.empty()) {
        out->header = row;
      } else {
        out->rows.push_back(row);
        out->lines.push_back(row_line);
      }
    }
    row.clear();
    row_has_text = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        field += c;
      }
      continue;
    }
    if (c == '"' && field.empty()) {
      quoted = true;
      row_has_text = true;
    } else if (c == sep) {
      row.push_back(field);
      field.clear();
      row_has_text = true;
    } else if (c == '\n') {
      end_row();
      ++line;
      row_line = line;
    } else if (c != '\r') {
      field += c;
      if (c != ' ') row_has_text = true;
    }
  }
  if (quoted) {
    *error = "line " + std::to_string(row_line) + ": quote not closed";
    return false;
  }
  end_row();
  return true;
}

}  // namespace tillgate::mkgoods
