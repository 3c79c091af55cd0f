#pragma once
// Goods messages as a register sends them, for the benchmarks that feed a
// line's fake device: by code and by barcode (BCD digits, 0xD after the
// last), each with room for its checksum.

#include <cstdint>
#include <string>
#include <vector>

namespace tillgate::bench {

inline std::vector<uint8_t> ByCode(uint16_t code) {
  std::vector<uint8_t> f(16, 0);  // 15 bytes of fields and a checksum
  f[0] = 1;
  f[1] = 0x30;
  f[2] = 13;
  f[4] = 'p';
  f[5] = code & 0xFF;
  f[6] = code >> 8;
  return f;
}

// `type` 's' for a sale, 'z' for a return.
inline std::vector<uint8_t> ByBarcode(const std::string& digits, char type = 's') {
  std::vector<uint8_t> f(18, 0);
  f[0] = 1;
  f[1] = 0x30;
  f[2] = 15;
  f[4] = static_cast<uint8_t>(type);
  std::string d = digits;
  while (d.size() < 14) d += static_cast<char>('0' + 0xD);
  for (int i = 0; i < 7; ++i)
    f[5 + i] = static_cast<uint8_t>((d[2 * i] - '0') << 4 | (d[2 * i + 1] - '0'));
  return f;
}

}  // namespace tillgate::bench
