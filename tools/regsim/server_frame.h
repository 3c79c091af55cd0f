#pragma once
// Checking what the server sends to the registers of a line: poll bytes,
// 6-byte command frames and goods answer frames. Every byte that does not fit
// one of them is reported as malformed, never silently skipped.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tillgate::regsim {

using Clock = std::chrono::steady_clock;

struct ServerEvent {
  enum class Kind { kPoll, kCommand, kGoods, kMalformed };
  Kind kind = Kind::kMalformed;
  uint8_t net = 0;
  char command = 0;            // kCommand: 'a', '+', 'o', '!' or 'u'
  std::string text;            // kGoods: the display text bytes (code page 866)
  uint32_t amount = 0;         // kGoods: kopecks
  char section = 0;            // kGoods: '1'..'6'
  std::string reason;          // kMalformed: what is wrong
  std::vector<uint8_t> bytes;  // the frame or bytes as received
};

// Checks one complete frame (command or goods answer) and returns it as a
// kCommand or kGoods event, or as kMalformed naming the first fault found.
ServerEvent CheckServerFrame(const uint8_t* bytes, size_t size);

// Cuts the byte stream from the server into poll bytes and frames.
class ServerFrameReader {
 public:
  // A frame whose remaining bytes do not arrive within `gap` is reported as
  // truncated. The server writes each frame in one go, so even at 9600 baud
  // its bytes follow each other within about a millisecond.
  explicit ServerFrameReader(std::chrono::milliseconds gap = std::chrono::milliseconds(50))
      : gap_(gap) {}

  // Adds received bytes and appends every complete event to `out`. A partial
  // frame older than the gap is reported first, so that it cannot swallow
  // the poll byte that follows it.
  void Feed(const uint8_t* bytes, size_t size, Clock::time_point now,
            std::vector<ServerEvent>* out);

  // Reports a partial frame that has stopped arriving.
  void Expire(Clock::time_point now, std::vector<ServerEvent>* out);

 private:
  void Extract(std::vector<ServerEvent>* out);

  std::chrono::milliseconds gap_;
  std::vector<uint8_t> pending_;
  Clock::time_point last_byte_{};
};

}  // namespace tillgate::regsim
