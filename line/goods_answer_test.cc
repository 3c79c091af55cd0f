#include "line/goods_answer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tillgate {
namespace {

GoodsDisplay Goods(const char* name, double price, double quantity) {
  GoodsDisplay r;
  std::strncpy(r.name, name, kNameSize - 1);
  r.price = price;
  r.quantity = quantity;
  return r;
}

std::string Compose(const GoodsDisplay& r, char first, char second) {
  char text[kTextBufferSize];
  int length = ComposeText(r, first, second, text);
  return std::string(text, length);
}

// Line 1 of a one-line "C" text.
std::string PriceQuantity(double price, double quantity) {
  return Compose(Goods("X", price, quantity), 'C', 0);
}

const char kName30[] = "ABCDEFGHIJKLMNOabcdefghijklmno";

TEST(ComposeText, NameAndPriceQuantityByteForByte) {
  std::string text = Compose(Goods("MOLOKO 3.2%    padded        ", 12.5, 1), 'N', 'C');
  ASSERT_EQ(text.size(), 32u);
  EXPECT_EQ(text.substr(0, 15), "MOLOKO 3.2%    ");
  EXPECT_EQ(text[15], '\x0D');
  EXPECT_EQ(text[16], '\x0A');
  EXPECT_EQ(text.substr(17), "12.50      *1.0");
}

TEST(ComposeText, LayoutsByTheTwoLetters) {
  GoodsDisplay r = Goods(kName30, 7, 0.5);
  std::string cc = Compose(r, 'C', 'C');
  ASSERT_EQ(cc.size(), 32u);
  EXPECT_EQ(cc.substr(0, 15), cc.substr(17));
  EXPECT_EQ(cc.substr(0, 15), "7.00        *.5");

  EXPECT_EQ(Compose(r, 'N', 'N'), std::string("ABCDEFGHIJKLMNO\r\nabcdefghijklmno"));
  EXPECT_EQ(Compose(r, 'C', 'N'), std::string("7.00        *.5\r\nABCDEFGHIJKLMNO"));
  // Unknown letters: a second "C" or a first "N" still gives two lines.
  EXPECT_EQ(Compose(r, 'X', 'C'), std::string("ABCDEFGHIJKLMNO\r\n7.00        *.5"));
  EXPECT_EQ(Compose(r, 'C', 'X'), "7.00        *.5");
  // No stored setting: one line of name; "N" alone: two lines, both 1..15.
  EXPECT_EQ(Compose(r, 0, 0), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(Compose(r, 'N', 0), std::string("ABCDEFGHIJKLMNO\r\nABCDEFGHIJKLMNO"));
}

TEST(ComposeText, ShortNameIsPaddedAndLeavesNoStaleBytes) {
  GoodsDisplay r = Goods(kName30, 1, 1);
  // A later look-up with a short name: the old name is still behind the zero.
  std::memcpy(r.name, "TEA\0", 4);
  EXPECT_EQ(Compose(r, 'N', 'N'), std::string("TEA            \r\n               "));
  EXPECT_EQ(Compose(r, 0, 0), "TEA            ");
}

TEST(PriceQuantityLine, QuantitiesWithTheirDecimals) {
  EXPECT_EQ(PriceQuantity(12.5, 1.5), "12.50      *1.5");
  EXPECT_EQ(PriceQuantity(1, 0.05), "1.00       *.05");
  EXPECT_EQ(PriceQuantity(1, 12.345), "1.00    *12.345");
  EXPECT_EQ(PriceQuantity(1, 1000), "1.00    *1000.0");
  EXPECT_EQ(PriceQuantity(1, 1.25), "1.00      *1.25");
  EXPECT_EQ(PriceQuantity(1, 0.5), "1.00        *.5");
  // A weight read from a barcode is a product with 0.001 and not exact.
  EXPECT_EQ(PriceQuantity(1, 1234 * 0.001), "1.00     *1.234");
  EXPECT_EQ(PriceQuantity(1, 0), "1.00        *.0");
}

TEST(PriceQuantityLine, PriceForms) {
  EXPECT_EQ(PriceQuantity(12, 1), "12.00      *1.0");
  EXPECT_EQ(PriceQuantity(12.345, 1), "12.345     *1.0");
  EXPECT_EQ(PriceQuantity(0.99, 1), "0.99       *1.0");
  // A long price overwrites the quantity part but stays within the line.
  EXPECT_EQ(PriceQuantity(123456789.25, 1), "123456789.201.0");
  EXPECT_EQ(PriceQuantity(1234567890123.0, 2), "1.23456789e+120");
}

TEST(PriceQuantityLine, SecondLineNeverTouchesTheFirst) {
  char text[kTextBufferSize];
  std::memset(text, 'x', sizeof text);
  PriceQuantityLine(Goods("X", 3, 2), 2, text);
  EXPECT_EQ(std::string(text, 17), std::string(17, 'x'));
  EXPECT_EQ(std::string(text + 17, 15), "3.00       *2.0");
}

TEST(SectionCharacter, OnlyOneToSixPass) {
  EXPECT_EQ(SectionCharacter('1'), '1');
  EXPECT_EQ(SectionCharacter('6'), '6');
  EXPECT_EQ(SectionCharacter('7'), '1');
  EXPECT_EQ(SectionCharacter(' '), '1');
  EXPECT_EQ(SectionCharacter(0), '1');
}

}  // namespace
}  // namespace tillgate
