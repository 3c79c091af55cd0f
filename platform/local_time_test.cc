#include "platform/local_time.h"

#include <gtest/gtest.h>

#include "platform/local_time_testing.h"

namespace tillgate {
namespace {

CivilTime Civil(int year, int month, int day, int hour, int minute, int second, int millis) {
  return CivilTime{year, month, day, hour, minute, second, millis};
}

TEST(UniversalTime, TheCalendarAcrossItsEdges) {
  EXPECT_EQ(UniversalTime(AtUnixTime(0)), Civil(1970, 1, 1, 0, 0, 0, 0));
  // Before the epoch the fraction still counts forward from the second.
  EXPECT_EQ(UniversalTime(AtUnixTime(-1, 999)), Civil(1969, 12, 31, 23, 59, 59, 999));
  EXPECT_EQ(UniversalTime(AtUnixTime(0, -1)), Civil(1969, 12, 31, 23, 59, 59, 999));
  EXPECT_EQ(UniversalTime(AtUnixTime(1796630706, 843)), Civil(2026, 12, 7, 8, 5, 6, 843));
  // Leap days: every fourth year, not 1900 or 2100, but 2000.
  EXPECT_EQ(UniversalTime(AtUnixTime(951782400)), Civil(2000, 2, 29, 0, 0, 0, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(951868799)), Civil(2000, 2, 29, 23, 59, 59, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(4107542400)), Civil(2100, 3, 1, 0, 0, 0, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(4107456000)), Civil(2100, 2, 28, 0, 0, 0, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(-2203977600)), Civil(1900, 2, 28, 0, 0, 0, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(-2203891200)), Civil(1900, 3, 1, 0, 0, 0, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(1709164800)), Civil(2024, 2, 29, 0, 0, 0, 0));
  // Where 32-bit seconds end, and far beyond.
  EXPECT_EQ(UniversalTime(AtUnixTime(2147483647)), Civil(2038, 1, 19, 3, 14, 7, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(2147483648)), Civil(2038, 1, 19, 3, 14, 8, 0));
  EXPECT_EQ(UniversalTime(AtUnixTime(7258118399, 999)), Civil(2199, 12, 31, 23, 59, 59, 999));
  // Sub-millisecond parts are cut, never rounded up into the next second.
  EXPECT_EQ(UniversalTime(AtUnixTime(59) + std::chrono::microseconds(999999)),
            Civil(1970, 1, 1, 0, 0, 59, 999));
}

}  // namespace
}  // namespace tillgate
