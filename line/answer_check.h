#pragma once
// What the server makes of the bytes read after a start command or poll
// byte. An answer is acceptable when the first read brought at least 5 bytes
// and its length byte (byte 2) is not above them; nothing else is looked at.
// STRICT also asks that byte 0 name the polled register and that bytes
// 3 .. 2 + length (the last is the checksum) add up to 0 modulo 256.

#include <cstddef>
#include <cstdint>

namespace tillgate {

inline constexpr int kFirstReadSize = 20;
inline constexpr int kSecondReadSize = 40;
inline constexpr int kMinAnswerSize = 5;

struct AnswerCheck {
  bool acceptable = false;    // at least 5 bytes in the first read, length byte not above them
  bool names_polled = false;  // byte 0 is the polled register's network number
  bool complete = false;      // all 3 + length bytes are in
  bool sums_to_zero = false;  // bytes 3 .. 2 + length add up to 0 (false when not complete)

  bool Accepted(bool strict) const {
    return acceptable && (!strict || (names_polled && sums_to_zero));
  }
};

// `first` bytes came in the first read, `total` in both; `frame` holds them.
AnswerCheck CheckAnswer(const uint8_t* frame, size_t first, size_t total, uint8_t polled);

// The size of the answer frame that begins with the `got` bytes of `frame`:
// max(5, 3 + length byte); 3 while the length byte has not come, as that
// many are needed to know.
size_t AnswerSize(const uint8_t* frame, size_t got);

}  // namespace tillgate
