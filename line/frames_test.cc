#include "line/frames.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tillgate {
namespace {

std::vector<uint8_t> Bytes(const uint8_t* data, int size) { return {data, data + size}; }

uint8_t SumFrom3(const uint8_t* frame, int size) {
  return static_cast<uint8_t>(std::accumulate(frame + 3, frame + size, 0));
}

TEST(Frames, CommandFramesCarryTheirChecksum) {
  uint8_t buffer[kFrameBufferSize];
  ASSERT_EQ(BuildCommandFrame(buffer, 10, kCommandStart), 6);
  EXPECT_EQ(Bytes(buffer, 6), (std::vector<uint8_t>{0x0A, 0x30, 0x03, 0x00, 0x61, 0x9F}));
  EXPECT_EQ(buffer[6], 0x00);  // the unsent zero behind the checksum

  const std::pair<uint8_t, uint8_t> table[] = {{kCommandStart, 0x9F},
                                               {kCommandAccepted, 0xD5},
                                               {kCommandClosed, 0x91},
                                               {kCommandIdentified, 0xDF},
                                               {kCommandRefused, 0x8B}};
  for (auto [code, checksum] : table) {
    BuildCommandFrame(buffer, 1, code);
    EXPECT_EQ(Bytes(buffer, 6), (std::vector<uint8_t>{0x01, 0x30, 0x03, 0x00, code, checksum}))
        << "command " << int(code);
    EXPECT_EQ(SumFrom3(buffer, 6), 0);
  }
  EXPECT_EQ(PollByte(1), 0x11);
  EXPECT_EQ(PollByte(10), 0x1A);
}

TEST(Frames, GoodsAnswerLayoutForOneAndTwoLines) {
  uint8_t buffer[kFrameBufferSize];
  const char one[] = "MOLOKO 1L      ";  // 15 bytes
  ASSERT_EQ(BuildGoodsFrame(buffer, kFrameBufferSize, 3, one, 15, 0x01020304, '2'), 30);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(buffer[1], 0x30);
  EXPECT_EQ(buffer[2], 27);
  EXPECT_EQ(buffer[3], 0x02);
  EXPECT_EQ(buffer[4], 'n');
  EXPECT_EQ(buffer[5], 15);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer + 6), 15), one);
  EXPECT_EQ(buffer[21], 't');
  EXPECT_EQ(Bytes(buffer + 22, 4), (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(buffer[26], 0);
  EXPECT_EQ(buffer[27], 0);
  EXPECT_EQ(buffer[28], '2');
  EXPECT_EQ(SumFrom3(buffer, 30), 0);

  // Code page 866 bytes above 0x7F pass unchanged.
  char two[32];
  for (int i = 0; i < 32; ++i) two[i] = static_cast<char>(0x80 + i);
  ASSERT_EQ(BuildGoodsFrame(buffer, kFrameBufferSize, 10, two, 32, 99999, '6'), 47);
  EXPECT_EQ(buffer[2], 44);
  EXPECT_EQ(buffer[5], 32);
  EXPECT_EQ(buffer[6 + 31], 0x9F);
  EXPECT_EQ(buffer[45], '6');
  EXPECT_EQ(SumFrom3(buffer, 47), 0);
}

TEST(Frames, GoodsAnswerNeverWritesPastTheBuffer) {
  uint8_t buffer[kFrameBufferSize + 8];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  const std::vector<char> text(90, 'x');
  // 15 + 85 bytes plus the unsent zero would need 101.
  EXPECT_EQ(BuildGoodsFrame(buffer, kFrameBufferSize, 1, text.data(), 85, 0, '1'), 0);
  EXPECT_EQ(BuildGoodsFrame(buffer, kFrameBufferSize, 1, text.data(), -1, 0, '1'), 0);
  EXPECT_EQ(buffer[0], 0xEE);  // nothing written
  EXPECT_EQ(BuildGoodsFrame(buffer, kFrameBufferSize, 1, text.data(), 84, 0, '1'), 99);
  EXPECT_EQ(buffer[kFrameBufferSize], 0xEE);
}

}  // namespace
}  // namespace tillgate
