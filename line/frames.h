#pragma once
// The bytes the server sends to a register: the 6-byte command frame, the
// goods answer frame and the poll byte, with the checksum that protects the
// two frame kinds.

#include <cstdint>

namespace tillgate {

inline constexpr int kFrameBufferSize = 100;   // transmit and receive buffers
inline constexpr uint8_t kFrameMarker = 0x30;  // byte 1 of every frame sent
inline constexpr int kChecksumFirst = 3;       // bytes 0..2 are never covered

// Command codes.
inline constexpr uint8_t kCommandStart = 0x61;       // 'a': first exchange after start
inline constexpr uint8_t kCommandAccepted = 0x2B;    // '+': answer to "f"
inline constexpr uint8_t kCommandClosed = 0x6F;      // 'o': answer to "i"
inline constexpr uint8_t kCommandIdentified = 0x21;  // '!': answer to "d"
inline constexpr uint8_t kCommandRefused = 0x75;     // 'u': refusal

inline constexpr int kCommandFrameSize = 6;
inline constexpr int kOneLineTextLength = 15;
inline constexpr int kTwoLineTextLength = 32;

// Frame size of a goods answer with a display text of `text_length` bytes.
constexpr int GoodsFrameSize(int text_length) { return 15 + text_length; }

// The poll byte for a network number.
constexpr uint8_t PollByte(uint8_t network_number) { return network_number | 0x10; }

// The two's-complement of the sum of `count` bytes from `first`: the covered
// bytes plus it add up to 0 modulo 256.
uint8_t FrameChecksum(const uint8_t* buffer, int first, int count);

// Stores the checksum of `count` bytes from `first` at first + count and a
// zero byte (not sent) after it. The buffer must hold first + count + 2 bytes.
void PutChecksum(uint8_t* buffer, int first, int count);

// Assembles a command frame at buffer[0..5] (and the unsent zero at [6]);
// returns its size. The buffer must hold 7 bytes.
int BuildCommandFrame(uint8_t* buffer, uint8_t network_number, uint8_t command_code);

// Assembles a goods answer frame; returns its size 15 + text_length, or 0 when
// text_length is negative or the frame with its unsent zero would not fit
// `capacity` (nothing is written then).
int BuildGoodsFrame(uint8_t* buffer, int capacity, uint8_t network_number, const char* text,
                    int text_length, uint32_t kopecks, char section);

}  // namespace tillgate
