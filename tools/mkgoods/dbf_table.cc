#include "tools/mkgoods/dbf_table.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/local_time.h"

namespace tillgate::mkgoods {
namespace {

void PutLe(std::string& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

DbfDate Today() {
  const CivilTime local = LocalTime(std::chrono::system_clock::now());
  return DbfDate{local.year, local.month, local.day};
}

int HeaderLength(size_t field_count) { return 32 + 32 * static_cast<int>(field_count) + 1; }

int RecordLength(const std::vector<DbfField>& fields) {
  int length = 1;
  for (const DbfField& f : fields) length += f.width;
  return length;
}

std::optional<std::string> NumericField(const std::string& text, int width, int decimals) {
  std::string number = text;
  while (!number.empty() && number.front() == ' ') number.erase(0, 1);
  while (!number.empty() && number.back() == ' ') number.pop_back();
  if (number.find('.') == std::string::npos) {
    const size_t comma = number.find(',');
    if (comma != std::string::npos) number[comma] = '.';
  }
  if (number.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !std::isfinite(value)) return std::nullopt;
  char buffer[400];
  const int n = std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
  if (n < 0 || n > width) return std::nullopt;
  return std::string(buffer, static_cast<size_t>(n));
}

std::optional<std::string> CharacterField(const std::string& bytes, int width) {
  if (bytes.size() > static_cast<size_t>(width)) return std::nullopt;
  return bytes + std::string(static_cast<size_t>(width) - bytes.size(), ' ');
}

std::string BuildDbf(const std::vector<DbfField>& fields, const std::vector<std::string>& records,
                     const DbfDate& date) {
  const int header_length = HeaderLength(fields.size());
  std::string out(static_cast<size_t>(header_length), '\0');
  out[0] = 0x03;
  out[1] = static_cast<char>(date.year - 1900);
  out[2] = static_cast<char>(date.month);
  out[3] = static_cast<char>(date.day);
  PutLe(out, 4, static_cast<uint32_t>(records.size()), 4);
  PutLe(out, 8, static_cast<uint32_t>(header_length), 2);
  PutLe(out, 10, static_cast<uint32_t>(RecordLength(fields)), 2);
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t at = 32 + 32 * i;
    const DbfField& f = fields[i];
    for (size_t c = 0; c < f.name.size() && c < 10; ++c) out[at + c] = f.name[c];
    out[at + 11] = f.type;
    out[at + 16] = static_cast<char>(f.width);
    out[at + 17] = static_cast<char>(f.decimals);
  }
  out[static_cast<size_t>(header_length) - 1] = 0x0D;
  out.reserve(out.size() + records.size() * static_cast<size_t>(RecordLength(fields)));
  for (const std::string& r : records) {
    out += ' ';
    out += r;
  }
  return out;
}

}  // namespace tillgate::mkgoods
