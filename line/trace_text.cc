#include "line/trace_text.h"

#include <cstdio>
#include <string_view>

#include "line/frames.h"
#include "store/cp866.h"

namespace tillgate {
namespace {

constexpr size_t kGoodsTextAt = 6;  // the display text in a goods answer frame

std::string Register(unsigned network_number) {
  return "register " + std::to_string(network_number);
}

std::string Hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// A command code or message type as written in the protocol: the letter in
// quotes, or its value when it is not printable.
std::string Letter(uint8_t code) {
  if (code < 0x20 || code >= 0x7F) return Hex(code);
  return std::string("\"") + static_cast<char>(code) + "\"";
}

// A display text as the register shows it, on one line: code page 866 as
// UTF-8, the two display lines joined by "|", other control bytes as ".".
std::string DisplayText(std::string_view cp866) {
  std::string shown;
  for (size_t i = 0; i < cp866.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(cp866[i]);
    if (c == '\r' && i + 1 < cp866.size() && cp866[i + 1] == '\n') {
      shown += '|';
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      shown += '.';
    } else {
      shown += Cp866ToUtf8(cp866.substr(i, 1));
    }
  }
  return shown;
}

std::string Rubles(uint32_t kopecks) {
  char text[24];
  std::snprintf(text, sizeof text, "%u.%02u", kopecks / 100, kopecks % 100);
  return text;
}

bool IsGoodsAnswer(const uint8_t* bytes, size_t count) {
  return count >= GoodsFrameSize(0) && bytes[4] == 'n' &&
         count == static_cast<size_t>(GoodsFrameSize(bytes[5]));
}

std::string DescribeGoodsAnswer(const uint8_t* bytes) {
  const size_t length = bytes[5];
  const uint8_t* tail = bytes + kGoodsTextAt + length;  // 't', amount, 0, 0, section
  const uint32_t kopecks = tail[1] | static_cast<uint32_t>(tail[2]) << 8 |
                           static_cast<uint32_t>(tail[3]) << 16 |
                           static_cast<uint32_t>(tail[4]) << 24;
  const std::string_view text(reinterpret_cast<const char*>(bytes + kGoodsTextAt), length);
  return "goods answer \"" + DisplayText(text) + "\" " + Rubles(kopecks) + " section " +
         DisplayText(std::string_view(reinterpret_cast<const char*>(tail + 7), 1)) + " to " +
         Register(bytes[0]);
}

// Why an answer was not taken, by the acceptance rule alone.
std::string Rejection(const uint8_t* frame, size_t first, size_t total) {
  if (total == 0) return "no answer";
  if (first < kMinAnswerSize) {
    return "rejected: " + std::to_string(first) + " bytes in the first read, fewer than 5";
  }
  return "rejected: the length byte " + std::to_string(frame[2]) + " is above the " +
         std::to_string(first) + " bytes of the first read";
}

// What STRICT asks of an answer that it does not have; empty when none.
std::string StrictFaults(const uint8_t* frame, const AnswerCheck& check) {
  std::string faults;
  if (!check.names_polled) faults = "byte 0 names " + Register(frame[0]);
  if (!check.sums_to_zero) {
    if (!faults.empty()) faults += ", ";
    faults += check.complete ? "the checksum does not add up" : "the frame is incomplete";
  }
  return faults;
}

}  // namespace

std::string DescribeSent(const uint8_t* bytes, size_t count) {
  if (count == 1 && bytes[0] >= PollByte(1) && bytes[0] <= PollByte(10))
    return "poll byte for " + Register(bytes[0] & 0x0F);
  if (count == kCommandFrameSize && bytes[4] == kCommandStart)
    return "start command to " + Register(bytes[0]);
  if (count == kCommandFrameSize)
    return "command " + Letter(bytes[4]) + " to " + Register(bytes[0]);
  if (IsGoodsAnswer(bytes, count)) return DescribeGoodsAnswer(bytes);
  return std::to_string(count) + " bytes";
}

std::string DescribeAnswer(const uint8_t* frame, size_t first, size_t total, uint8_t polled,
                           const AnswerCheck& check, bool strict) {
  if (total == 0) return "no answer from " + Register(polled);
  std::string text;
  if (total >= kMinAnswerSize) {
    text = "message " + Letter(frame[4]) + " seq " + Hex(frame[3]) + " from " + Register(polled);
  } else {
    text = std::to_string(total) + (total == 1 ? " byte" : " bytes") + " from " + Register(polled);
  }
  if (!check.acceptable) return text + "; " + Rejection(frame, first, total);
  const std::string faults = StrictFaults(frame, check);
  if (faults.empty()) return text + "; accepted";
  if (strict) return text + "; rejected (STRICT): " + faults;
  return text + "; accepted, although " + faults;
}

}  // namespace tillgate
