#include "config/utf16.h"

#include <cstdint>

namespace tillgate {
namespace {

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

uint32_t UnitAt(std::string_view bytes, size_t i) {
  return static_cast<uint8_t>(bytes[i]) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8);
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool Utf16LeToUtf8(std::string_view bytes, std::string* out) {
  if (bytes.size() % 2 != 0) return false;
  out->clear();
  out->reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint32_t unit = UnitAt(bytes, i);
    if (IsLowSurrogate(unit)) return false;
    if (IsHighSurrogate(unit)) {
      if (i + 3 >= bytes.size()) return false;
      uint32_t low = UnitAt(bytes, i + 2);
      if (!IsLowSurrogate(low)) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(unit, out);
  }
  return true;
}

}  // namespace tillgate
