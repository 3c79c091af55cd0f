#include "line/answer_check.h"

#include <algorithm>

namespace tillgate {
namespace {

constexpr size_t kHeaderSize = 3;  // network number, 0x30, length byte

}  // namespace

AnswerCheck CheckAnswer(const uint8_t* frame, size_t first, size_t total, uint8_t polled) {
  AnswerCheck check;
  if (total == 0) return check;
  check.names_polled = frame[0] == polled;
  if (total < kHeaderSize) return check;
  const size_t length = frame[2];
  check.acceptable = first >= kMinAnswerSize && length <= first;
  check.complete = kHeaderSize + length <= total;
  if (check.complete) {
    uint8_t sum = 0;
    for (size_t i = kHeaderSize; i < kHeaderSize + length; ++i)
      sum = static_cast<uint8_t>(sum + frame[i]);
    check.sums_to_zero = sum == 0;
  }
  return check;
}

size_t AnswerSize(const uint8_t* frame, size_t got) {
  if (got < kHeaderSize) return kHeaderSize;
  return std::max<size_t>(kMinAnswerSize, kHeaderSize + frame[2]);
}

}  // namespace tillgate
