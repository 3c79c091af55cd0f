#include "config/utf16.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tillgate {
namespace {

uint32_t UnitAt(std::string_view bytes, size_t i) {
  return static_cast<uint8_t>(bytes[i]) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8);
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUnit(uint32_t unit, std::string* out) {
  out->push_back(static_cast<char>(unit & 0xFF));
  out->push_back(static_cast<char>(unit >> 8));
}

}  // namespace

void AppendUtf8(char32_t code_point, std::string* out) {
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

bool NextUtf8(std::string_view text, size_t* i, char32_t* code_point) {
  const size_t at = *i;
  if (at >= text.size()) return false;
  const auto lead = static_cast<uint8_t>(text[at]);
  if (lead < 0x80) {
    *code_point = lead;
    *i = at + 1;
    return true;
  }
  const int extra = lead > 0xF4 ? -1 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (extra < 0 || at + static_cast<size_t>(extra) >= text.size()) return false;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<uint8_t>(text[at + static_cast<size_t>(k)]);
    if ((next & 0xC0) != 0x80) return false;
    c = (c << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  *code_point = c;
  *i = at + 1 + static_cast<size_t>(extra);
  return true;
}

bool IsValidUtf8(std::string_view text) {
  const auto not_ascii = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  char32_t c = 0;
  // Most of any text is ASCII: only the sequences of other characters are
  // looked at one by one.
  for (size_t i = 0; i < text.size();) {
    i = static_cast<size_t>(
        std::find_if(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), not_ascii) -
        text.begin());
    if (i < text.size() && !NextUtf8(text, &i, &c)) return false;
  }
  return true;
}

bool Utf16LeToUtf8(std::string_view bytes, std::string* out) {
  if (bytes.size() % 2 != 0) return false;
  out->clear();
  out->reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint32_t unit = UnitAt(bytes, i);
    if (unit < 0x80) {
      out->push_back(static_cast<char>(unit));
      continue;
    }
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

bool Utf8ToUtf16Le(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    if (!NextUtf8(text, &i, &c)) return false;
    if (c >= 0x10000) {
      AppendUnit(0xD800 + ((c - 0x10000) >> 10), out);
      AppendUnit(0xDC00 + ((c - 0x10000) & 0x3FF), out);
    } else {
      AppendUnit(c, out);
    }
  }
  return true;
}

}  // namespace tillgate
