#pragma once
// CRC-32 (the polynomial of zip and Ethernet), to tell an entry written
// whole from one torn or damaged.

#include <cstdint>
#include <string_view>

namespace tillgate {

uint32_t Crc32(std::string_view bytes);

}  // namespace tillgate
