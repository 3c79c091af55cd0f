#include "line/frames.h"

#include <cstring>

namespace tillgate {

uint8_t FrameChecksum(const uint8_t* buffer, int first, int count) {
  uint8_t sum = 0;
  for (int i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + buffer[first + i]);
  return static_cast<uint8_t>(-sum);
}

void PutChecksum(uint8_t* buffer, int first, int count) {
  buffer[first + count] = FrameChecksum(buffer, first, count);
  buffer[first + count + 1] = 0x00;
}

int BuildCommandFrame(uint8_t* buffer, uint8_t network_number, uint8_t command_code) {
  buffer[0] = network_number;
  buffer[1] = kFrameMarker;
  buffer[2] = 0x03;
  buffer[3] = 0x00;
  buffer[4] = command_code;
  PutChecksum(buffer, kChecksumFirst, 2);
  return kCommandFrameSize;
}

int BuildGoodsFrame(uint8_t* buffer, int capacity, uint8_t network_number, const char* text,
                    int text_length, uint32_t kopecks, char section) {
  const int length = text_length;
  if (length < 0 || GoodsFrameSize(length) + 1 > capacity) return 0;
  buffer[0] = network_number;
  buffer[1] = kFrameMarker;
  buffer[2] = static_cast<uint8_t>(length + 12);
  buffer[3] = 0x02;
  buffer[4] = 0x6E;  // 'n'
  buffer[5] = static_cast<uint8_t>(length);
  if (length > 0) std::memcpy(buffer + 6, text, static_cast<size_t>(length));
  buffer[6 + length] = 0x74;  // 't'
  for (int i = 0; i < 4; ++i) buffer[7 + length + i] = static_cast<uint8_t>(kopecks >> (8 * i));
  buffer[11 + length] = 0x00;
  buffer[12 + length] = 0x00;
  buffer[13 + length] = static_cast<uint8_t>(section);
  PutChecksum(buffer, kChecksumFirst, length + 11);
  return GoodsFrameSize(length);
}

}  // namespace tillgate
