#include "tools/regsim/register_frame.h"

#include <string>

namespace tillgate::regsim {

uint8_t Checksum(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool ChecksumHolds(const uint8_t* bytes, size_t size) {
  if (size < 4) return false;
  unsigned sum = 0;
  for (size_t i = 3; i < size; ++i) sum += bytes[i];
  return (sum & 0xFF) == 0;
}

bool PackBarcode(const std::string& digits, std::array<uint8_t, kBarcodeBytes>* out) {
  out->fill(0xDD);
  if (digits.empty() || digits.size() > kMaxBarcodeDigits) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  for (size_t i = 0; i < digits.size(); ++i) {
    const uint8_t nibble = static_cast<uint8_t>(digits[i] - '0');
    uint8_t& byte = (*out)[i / 2];
    byte = (i % 2 == 0) ? static_cast<uint8_t>((nibble << 4) | 0x0D)
                        : static_cast<uint8_t>((byte & 0xF0) | nibble);
  }
  return true;
}

uint8_t ToBcd(unsigned value) {
  value %= 100;
  return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

namespace {

void PutLe32(std::vector<uint8_t>& frame, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) frame[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Field bytes (from byte 5 up to the checksum) of each message kind.
size_t FieldBytes(MessageKind kind) {
  switch (kind) {
    case MessageKind::kIdentify:
      return 11;  // 5..7 unused, 8 year, 9..15 serial
    case MessageKind::kByCode:
      return 10;  // 5..6 code, 7..10 unused, 11..14 quantity
    case MessageKind::kByBarcode:
      return 12;  // 5..11 barcode, 12 unused, 13..16 quantity
    case MessageKind::kDocument:
      return 8;  // 5..8 document number, 9 day, 10 month, 11 hour, 12 minute
    case MessageKind::kNothing:
    case MessageKind::kRaw:
      break;
  }
  return 0;
}

void PutFields(std::vector<uint8_t>& frame, const Message& m) {
  switch (m.kind) {
    case MessageKind::kIdentify:
      frame[8] = ToBcd(m.year);
      for (size_t i = 0; i < 7; ++i) {
        frame[9 + i] = i < m.serial.size() ? static_cast<uint8_t>(m.serial[i]) : ' ';
      }
      break;
    case MessageKind::kByCode:
      frame[5] = static_cast<uint8_t>(m.code & 0xFF);
      frame[6] = static_cast<uint8_t>(m.code >> 8);
      PutLe32(frame, 11, m.quantity);
      break;
    case MessageKind::kByBarcode: {
      std::array<uint8_t, kBarcodeBytes> packed{};
      PackBarcode(m.barcode, &packed);
      for (size_t i = 0; i < kBarcodeBytes; ++i) frame[5 + i] = packed[i];
      PutLe32(frame, 13, m.quantity);
      break;
    }
    case MessageKind::kDocument: {
      const uint32_t doc = m.document.value_or(0);
      frame[5] = static_cast<uint8_t>(doc >> 24);  // most significant byte first
      frame[6] = static_cast<uint8_t>(doc >> 16);
      frame[7] = static_cast<uint8_t>(doc >> 8);
      frame[8] = static_cast<uint8_t>(doc);
      frame[9] = ToBcd(m.day.value_or(0));
      frame[10] = ToBcd(m.month.value_or(0));
      frame[11] = ToBcd(m.hour.value_or(0));
      frame[12] = ToBcd(m.minute.value_or(0));
      break;
    }
    case MessageKind::kNothing:
    case MessageKind::kRaw:
      break;
  }
}

}  // namespace

std::vector<uint8_t> BuildFrame(uint8_t net, uint8_t seq, const Message& message) {
  if (message.kind == MessageKind::kRaw) return message.raw;
  const size_t size = 5 + FieldBytes(message.kind) + 1;
  std::vector<uint8_t> frame(size, 0);
  frame[0] = net;
  frame[1] = kFrameMarker;
  frame[2] = static_cast<uint8_t>(size - 3);
  frame[3] = seq;
  frame[4] = static_cast<uint8_t>(message.type);
  PutFields(frame, message);
  frame[size - 1] = Checksum(frame.data() + 3, size - 4);
  if (message.from) frame[0] = *message.from;
  if (message.bad_sum) ++frame[size - 1];
  return frame;
}

}  // namespace tillgate::regsim
