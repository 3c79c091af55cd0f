#pragma once
// Message frames as a register sends them.
//
// Layout: byte 0 the register's network number, byte 1 0x30, byte 2 the
// length byte, byte 3 the sequence byte, byte 4 the type letter, the fields
// of the type from byte 5 on, then one checksum byte. The length byte counts
// the bytes after it (frame size - 3), the same convention as the server's own
// frames. Bytes 3 up to and including the checksum add up to 0 modulo 256.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/regsim/message.h"

namespace tillgate::regsim {

inline constexpr uint8_t kFrameMarker = 0x30;
inline constexpr size_t kBarcodeBytes = 7;
inline constexpr size_t kMaxBarcodeDigits = 14;

// The byte that makes bytes[first..first+count) plus itself sum to 0 mod 256.
uint8_t Checksum(const uint8_t* bytes, size_t count);

// True when bytes[3..size) sum to 0 modulo 256 (size >= 4).
bool ChecksumHolds(const uint8_t* bytes, size_t size);

// Packs up to 14 decimal digits two per byte, high nibble first, followed by
// the end nibble 0xD; every nibble after the end is 0xD as well. Returns false
// (and leaves `out` as 0xDD bytes) for an empty text, more than 14 characters
// or a character that is not a digit.
bool PackBarcode(const std::string& digits, std::array<uint8_t, kBarcodeBytes>* out);

// Two decimal digits in one byte; value must be 0..99.
uint8_t ToBcd(unsigned value);

// Builds the frame of `message` for register `net` with sequence byte `seq`.
// The message must be complete: "i" with document, date and time set (missing
// ones are sent as zero). A raw message is returned exactly as given. With
// `from`, byte 0 names that register instead; with `bad_sum` the checksum
// is one off.
std::vector<uint8_t> BuildFrame(uint8_t net, uint8_t seq, const Message& message);

}  // namespace tillgate::regsim
