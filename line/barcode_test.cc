#include "line/barcode.h"

#include <gtest/gtest.h>

#include <string>

namespace tillgate {
namespace {

std::string Decode(std::initializer_list<uint8_t> bytes) {
  uint8_t packed[kBarcodeBytes] = {0xDD, 0xDD, 0xDD, 0xDD, 0xDD, 0xDD, 0xDD};
  int i = 0;
  for (uint8_t b : bytes) packed[i++] = b;
  char code[kGoodsCodeSize];
  DecodeBarcode(packed, code);
  return std::string(code);
}

TEST(DecodeBarcode, EndsRightAfterTheLastDigit) {
  EXPECT_EQ(Decode({0x25, 0x12, 0x34, 0x50, 0x12, 0x34, 0x5D}), "2512345012345");
  EXPECT_EQ(Decode({0x46, 0x01, 0x23, 0x45, 0xDD}), "46012345");  // EAN-8
  EXPECT_EQ(Decode({0x12, 0x3D}), "123");
  EXPECT_EQ(Decode({0xD1}), "");
  // Fourteen digits: no end nibble, the last place of the code ends it.
  EXPECT_EQ(Decode({0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34}), "12345678901234");
  // Nibbles above 9 other than the end marker pass as 0x30 + v.
  EXPECT_EQ(Decode({0x1A, 0xFD}), "1:?");
}

TEST(CodeLength, CountsDigitsOnly) {
  char code[kGoodsCodeSize] = "12345";
  EXPECT_EQ(CodeLength(code), 5);
  char spaced[kGoodsCodeSize] = "1234          ";
  EXPECT_EQ(CodeLength(spaced), 4);
  char full[kGoodsCodeSize] = "12345678901234";
  EXPECT_EQ(CodeLength(full), 13);
}

TEST(GoodsCodeFromNumber, DecimalWithoutLeadingZeros) {
  char code[kGoodsCodeSize];
  GoodsCodeFromNumber(0x3039, code);
  EXPECT_STREQ(code, "12345");
  GoodsCodeFromNumber(65535, code);
  EXPECT_STREQ(code, "65535");
  GoodsCodeFromNumber(7, code);
  EXPECT_STREQ(code, "7");
}

TEST(QuantityFromThousandths, ZeroStandsForOne) {
  EXPECT_EQ(QuantityFromThousandths(0), 1.0);
  EXPECT_DOUBLE_EQ(QuantityFromThousandths(1000), 1.0);
  EXPECT_DOUBLE_EQ(QuantityFromThousandths(1500), 1.5);
  EXPECT_DOUBLE_EQ(QuantityFromThousandths(4294967295u), 4294967.295);
}

TEST(WeightBarcode, DefaultMaskSplitsCodeAndWeight) {
  char code[kGoodsCodeSize] = "2512345012345";
  ASSERT_TRUE(IsWeightBarcode(code, "25CCCCCWWWWW"));
  WeightSplit split = SplitWeightBarcode(code, "25CCCCCWWWWW");
  EXPECT_TRUE(split.has_weight);
  EXPECT_DOUBLE_EQ(split.quantity, 1.234);
  EXPECT_STREQ(code, "12345");
}

TEST(WeightBarcode, PrefixMustMatchTheMasksSecondCharacter) {
  char code[kGoodsCodeSize] = "2612345012345";
  EXPECT_FALSE(IsWeightBarcode(code, "25CCCCCWWWWW"));
  char other[kGoodsCodeSize] = "4612345012345";
  EXPECT_FALSE(IsWeightBarcode(other, "46CCCCCWWWWW"));  // the first digit is always "2"
  char any[kGoodsCodeSize] = "2212345012345";
  EXPECT_TRUE(IsWeightBarcode(any, "X2CCCCCWWWWW"));
  EXPECT_FALSE(IsWeightBarcode(code, ""));
  EXPECT_FALSE(IsWeightBarcode(code, nullptr));
}

TEST(WeightBarcode, MaskWithoutWeightStillReducesTheCode) {
  char code[kGoodsCodeSize] = "2512345012345";
  WeightSplit split = SplitWeightBarcode(code, "25CCCCC");
  EXPECT_FALSE(split.has_weight);
  EXPECT_STREQ(code, "12345");
}

TEST(WeightBarcode, AtMostEightWeightDigitsAndMaskPastTheCode) {
  char code[kGoodsCodeSize] = "2123456789012";
  WeightSplit split = SplitWeightBarcode(code, "2CWWWWWWWWWWW");
  EXPECT_DOUBLE_EQ(split.quantity, 56789.012);  // the rightmost eight
  EXPECT_STREQ(code, "1");

  // A 17-character mask on a 12-digit code reads nothing past the code.
  char short_code[kGoodsCodeSize] = "250000101500";
  split = SplitWeightBarcode(short_code, "25CCCCWWWWWWCCCCC");
  EXPECT_DOUBLE_EQ(split.quantity, 101.5);
  EXPECT_STREQ(short_code, "0000");
}

}  // namespace
}  // namespace tillgate
