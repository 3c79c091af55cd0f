// The integer reading of typed numbers.

#include "app/presenter/integer_text.h"

#include <gtest/gtest.h>

namespace tillgate::testing {
namespace {

TEST(IntegerText, ReadsDecimalIntegersOnly) {
  int32_t value = -1;
  EXPECT_TRUE(ParseInteger("13", &value));
  EXPECT_EQ(value, 13);
  EXPECT_TRUE(ParseInteger("  -7", &value));
  EXPECT_EQ(value, -7);
  EXPECT_TRUE(ParseInteger("2147483647", &value));
  EXPECT_EQ(value, 2147483647);
  EXPECT_TRUE(ParseInteger("-2147483648", &value));
  EXPECT_EQ(value, INT32_MIN);
  value = 5;
  for (const char* bad :
       {"", " ", "-", "1 2", "12 ", "0x1", "2147483648", "99999999999999999999", "٣"})
    EXPECT_FALSE(ParseInteger(bad, &value)) << bad;
  EXPECT_EQ(value, 5);
  EXPECT_EQ(NotValidIntegerMessage("ab"), "'ab' is not a valid integer value");
}

}  // namespace
}  // namespace tillgate::testing
