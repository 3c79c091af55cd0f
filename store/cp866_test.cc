#include "store/cp866.h"

#include <gtest/gtest.h>

namespace tillgate {
namespace {

TEST(Cp866, CyrillicRoundTripsAndMatchesTheCodePage) {
  const std::string cp866 = Utf8ToCp866("Хлеб ржаной Ёё №");
  // Х=0x95 л=0xAB е=0xA5 б=0xA1, р=0xE0, Ё=0xF0 ё=0xF1 №=0xFC
  EXPECT_EQ(static_cast<uint8_t>(cp866[0]), 0x95);
  EXPECT_EQ(static_cast<uint8_t>(cp866[1]), 0xAB);
  EXPECT_EQ(static_cast<uint8_t>(cp866[5]), 0xE0);
  EXPECT_EQ(static_cast<uint8_t>(cp866[12]), 0xF0);
  EXPECT_EQ(static_cast<uint8_t>(cp866[15]), 0xFC);
  EXPECT_EQ(Cp866ToUtf8(cp866), "Хлеб ржаной Ёё №");
}

TEST(Cp866, EveryByteDecodesAndUnknownTextBecomesQuestionMarks) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp866(Cp866ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToCp866("€\xff"), "??");
}

}  // namespace
}  // namespace tillgate
