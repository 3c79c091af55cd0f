#include "tools/regsim/server_frame.h"

#include <cstdio>
#include <utility>

#include "tools/regsim/register_frame.h"

namespace tillgate::regsim {
namespace {

constexpr size_t kCommandSize = 6;
constexpr uint8_t kCommandLength = 3;

bool IsNet(uint8_t b) { return b >= 1 && b <= 10; }
bool IsPoll(uint8_t b) { return b >= 0x11 && b <= 0x1A; }
bool IsCommandCode(uint8_t b) { return b == 'a' || b == '+' || b == 'o' || b == '!' || b == 'u'; }

std::string Hex(uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

ServerEvent Fault(const uint8_t* bytes, size_t size, std::string reason) {
  ServerEvent e;
  e.kind = ServerEvent::Kind::kMalformed;
  e.reason = std::move(reason);
  e.bytes.assign(bytes, bytes + size);
  if (size > 0) e.net = bytes[0];
  return e;
}

ServerEvent CheckCommand(const uint8_t* b, size_t size) {
  if (size != kCommandSize) {
    return Fault(b, size, "command frame of " + std::to_string(size) + " bytes");
  }
  if (b[3] != 0x00) return Fault(b, size, "command byte 3 is " + Hex(b[3]));
  if (!ChecksumHolds(b, size)) return Fault(b, size, "bad checksum");
  if (!IsCommandCode(b[4])) return Fault(b, size, "unknown command " + Hex(b[4]));
  ServerEvent e;
  e.kind = ServerEvent::Kind::kCommand;
  e.net = b[0];
  e.command = static_cast<char>(b[4]);
  e.bytes.assign(b, b + size);
  return e;
}

ServerEvent CheckGoods(const uint8_t* b, size_t size) {
  const size_t text_length = b[5];
  if (text_length != 15 && text_length != 32) {
    return Fault(b, size, "text length " + std::to_string(text_length));
  }
  if (b[2] != text_length + 12) return Fault(b, size, "length byte does not match text length");
  if (size != 15 + text_length) {
    return Fault(b, size, "goods answer of " + std::to_string(size) + " bytes");
  }
  if (b[3] != 0x02) return Fault(b, size, "goods byte 3 is " + Hex(b[3]));
  if (b[4] != 'n') return Fault(b, size, "goods byte 4 is " + Hex(b[4]));
  if (b[6 + text_length] != 't') return Fault(b, size, "no 't' after the text");
  if (b[11 + text_length] != 0 || b[12 + text_length] != 0) {
    return Fault(b, size, "bytes after the amount are not zero");
  }
  const uint8_t section = b[13 + text_length];
  if (section < '1' || section > '6') return Fault(b, size, "section " + Hex(section));
  if (text_length == 32 && (b[6 + 15] != 0x0D || b[6 + 16] != 0x0A)) {
    return Fault(b, size, "two-line text without CR LF between the lines");
  }
  if (!ChecksumHolds(b, size)) return Fault(b, size, "bad checksum");
  ServerEvent e;
  e.kind = ServerEvent::Kind::kGoods;
  e.net = b[0];
  e.text.assign(reinterpret_cast<const char*>(b + 6), text_length);
  const uint8_t* amount = b + 7 + text_length;
  e.amount = static_cast<uint32_t>(amount[0]) | static_cast<uint32_t>(amount[1]) << 8 |
             static_cast<uint32_t>(amount[2]) << 16 | static_cast<uint32_t>(amount[3]) << 24;
  e.section = static_cast<char>(section);
  e.bytes.assign(b, b + size);
  return e;
}

}  // namespace

ServerEvent CheckServerFrame(const uint8_t* bytes, size_t size) {
  if (size < kCommandSize) {
    return Fault(bytes, size, "frame of " + std::to_string(size) + " bytes");
  }
  if (!IsNet(bytes[0])) return Fault(bytes, size, "network number " + Hex(bytes[0]));
  if (bytes[1] != kFrameMarker) return Fault(bytes, size, "byte 1 is " + Hex(bytes[1]));
  if (bytes[2] == kCommandLength) return CheckCommand(bytes, size);
  return CheckGoods(bytes, size);
}

void ServerFrameReader::Feed(const uint8_t* bytes, size_t size, Clock::time_point now,
                             std::vector<ServerEvent>* out) {
  if (size == 0) return;
  Expire(now, out);
  pending_.insert(pending_.end(), bytes, bytes + size);
  last_byte_ = now;
  Extract(out);
}

void ServerFrameReader::Expire(Clock::time_point now, std::vector<ServerEvent>* out) {
  if (pending_.empty() || now - last_byte_ < gap_) return;
  out->push_back(Fault(pending_.data(), pending_.size(), "truncated frame"));
  pending_.clear();
}

void ServerFrameReader::Extract(std::vector<ServerEvent>* out) {
  // Events are cut from the front; their bytes leave pending_ once, at the
  // end, so that a long burst is not moved up byte by byte.
  size_t at = 0;
  while (at < pending_.size()) {
    const uint8_t* bytes = pending_.data() + at;
    const size_t left = pending_.size() - at;
    const uint8_t first = bytes[0];
    if (IsPoll(first)) {
      ServerEvent e;
      e.kind = ServerEvent::Kind::kPoll;
      e.net = first & 0x0F;
      e.bytes.assign(1, first);
      out->push_back(std::move(e));
      ++at;
      continue;
    }
    if (!IsNet(first)) {
      // Group a run of bytes that cannot start anything into one report.
      size_t run = 1;
      while (run < left && !IsNet(bytes[run]) && !IsPoll(bytes[run])) ++run;
      out->push_back(Fault(bytes, run, "stray bytes"));
      at += run;
      continue;
    }
    if (left < 3) break;
    // A frame whose header is wrong has no known end: the server writes each
    // frame whole, so everything received with it belongs to it.
    if (bytes[1] != kFrameMarker) {
      out->push_back(Fault(bytes, left, "byte 1 is " + Hex(bytes[1])));
      at += left;
      continue;
    }
    const uint8_t length = bytes[2];
    if (length != kCommandLength && length != 15 + 12 && length != 32 + 12) {
      out->push_back(
          Fault(bytes, left, "length byte " + std::to_string(length) + " fits no server frame"));
      at += left;
      continue;
    }
    const size_t total = size_t{length} + 3;
    if (left < total) break;
    out->push_back(CheckServerFrame(bytes, total));
    at += total;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace tillgate::regsim
