#pragma once
// A dBASE III table written in one piece: header, field descriptors, 0x0D,
// records flagged with a space, no 0x1A end byte.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tillgate::mkgoods {

struct DbfField {
  std::string name;  // up to 10 ASCII characters
  char type = 'C';   // 'C' or 'N'
  int width = 1;     // 1..254
  int decimals = 0;  // numeric fields
};

struct DbfDate {
  int year = 1900;  // 1900..2155
  int month = 1;
  int day = 1;
};

DbfDate Today();

// Header length for n fields: 32 + 32 n + 1.
int HeaderLength(size_t field_count);
// The deletion flag plus every field width.
int RecordLength(const std::vector<DbfField>& fields);

// Right-aligned numeric text of exactly `width` characters with `decimals`
// digits after the point, or nothing when `text` is not a number or does not
// fit. A ',' is taken as the decimal point.
std::optional<std::string> NumericField(const std::string& text, int width, int decimals);

// Left-aligned character field of exactly `width` bytes, or nothing when the
// bytes do not fit.
std::optional<std::string> CharacterField(const std::string& bytes, int width);

// The whole file. Every record must be RecordLength() - 1 bytes (without the flag).
std::string BuildDbf(const std::vector<DbfField>& fields, const std::vector<std::string>& records,
                     const DbfDate& date);

}  // namespace tillgate::mkgoods
