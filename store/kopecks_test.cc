#include "store/kopecks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tillgate {
namespace {

TEST(RoundKopecks, TenthsAboveFiveRoundUp) {
  EXPECT_EQ(RoundKopecks(7 * 0.5 * 100), 350u);
  EXPECT_EQ(RoundKopecks(0.99 * 1.005 * 100), 99u);
  EXPECT_EQ(RoundKopecks(1852.5), 1852u);
  EXPECT_EQ(RoundKopecks(1852.6), 1853u);
  EXPECT_EQ(RoundKopecks(0), 0u);
}

TEST(RoundKopecks, OutOfRangeAmountsDoNotWrap) {
  EXPECT_EQ(RoundKopecks(-500), 0u);
  EXPECT_EQ(RoundKopecks(1e30), 4294967295u);
  EXPECT_EQ(RoundKopecks(std::nan("")), 0u);
}

}  // namespace
}  // namespace tillgate
