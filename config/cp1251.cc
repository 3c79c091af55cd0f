#include "config/cp1251.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/utf16.h"

namespace tillgate {
namespace {

// Unicode code points of bytes 0x80..0xFF.
constexpr char16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The high half's characters in code point order, each with its byte, so
// that a character is found without walking the whole half.
struct HighByte {
  char16_t code_point;
  uint8_t byte;
};
constexpr std::array<HighByte, 128> SortedHighHalf() {
  std::array<HighByte, 128> sorted{};
  for (int k = 0; k < 128; ++k) sorted[k] = {kHighHalf[k], static_cast<uint8_t>(0x80 + k)};
  std::sort(sorted.begin(), sorted.end(),
            [](const HighByte& a, const HighByte& b) { return a.code_point < b.code_point; });
  return sorted;
}
constexpr std::array<HighByte, 128> kByCodePoint = SortedHighHalf();

bool ByteOf(char32_t c, char* byte) {
  if (c < 0x80) {
    *byte = static_cast<char>(c);
    return true;
  }
  const auto found = std::lower_bound(
      kByCodePoint.begin(), kByCodePoint.end(), c,
      [](const HighByte& entry, char32_t wanted) { return entry.code_point < wanted; });
  if (found == kByCodePoint.end() || found->code_point != c) return false;
  *byte = static_cast<char>(found->byte);
  return true;
}

// How many bytes from `from` on are ASCII, which both code pages share:
// those are copied as they are, in one go.
size_t AsciiRun(std::string_view text, size_t from) {
  const auto end = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return static_cast<size_t>(end - text.begin()) - from;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (size_t i = 0; i < bytes.size();) {
    const size_t run = AsciiRun(bytes, i);
    out.append(bytes.substr(i, run));
    i += run;
    if (i < bytes.size())
      AppendUtf8(kHighHalf[static_cast<unsigned char>(bytes[i++]) - 0x80], &out);
  }
  return out;
}

bool Utf8ToCp1251(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t run = AsciiRun(text, i);
    out->append(text.substr(i, run));
    i += run;
    if (i == text.size()) break;
    char32_t c = 0;
    char byte = 0;
    if (!NextUtf8(text, &i, &c) || !ByteOf(c, &byte)) return false;
    out->push_back(byte);
  }
  return true;
}

}  // namespace tillgate
