#include "config/whole_number.h"

#include <gtest/gtest.h>

namespace tillgate {
namespace {

TEST(WholeNumber, AcceptsWhatStrtollAcceptsWithinTheLimit) {
  long long n = -1;
  const std::pair<const char*, long long> good[] = {
      {"0", 0}, {"42", 42}, {"  7", 7}, {"\t+9", 9}, {"-0", 0}, {"100000000", 100000000}};
  for (const auto& [text, value] : good) {
    EXPECT_TRUE(ParseWholeNumber(text, 100000000, &n)) << text;
    EXPECT_EQ(n, value) << text;
  }
  n = 5;
  for (const char* bad : {"", " ", "+", "-", "-1", "100000001", "12x", "1 ", "0x10", "+-1", "--1",
                          "99999999999999999999999"}) {
    EXPECT_FALSE(ParseWholeNumber(bad, 100000000, &n)) << bad;
  }
  EXPECT_EQ(n, 5);  // left alone on a mistake
  EXPECT_TRUE(ParseWholeNumber("4294967295", 0xFFFFFFFFLL, &n));
  EXPECT_EQ(n, 4294967295LL);
}

}  // namespace
}  // namespace tillgate
