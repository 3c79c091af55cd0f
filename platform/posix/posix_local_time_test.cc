#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

#include "platform/local_time.h"
#include "platform/local_time_testing.h"

namespace tillgate {
namespace {

// The local time zone set to `zone` (POSIX rules, no zone files needed)
// while it lives.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    const char* before = std::getenv("TZ");
    had_ = before != nullptr;
    if (had_) before_ = before;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (had_)
      setenv("TZ", before_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string before_;
};

TEST(LocalTime, FollowsTheTimeZoneAcrossDaysAndSummerTime) {
  {
    TimeZone moscow("MSK-3");
    EXPECT_EQ(LocalTime(AtUnixTime(1796630706, 843)), (CivilTime{2026, 12, 7, 11, 5, 6, 843}));
    // Late in the evening in UTC is the next day here.
    EXPECT_EQ(LocalTime(AtUnixTime(1796682600)), (CivilTime{2026, 12, 8, 1, 30, 0, 0}));
  }
  {
    TimeZone new_york("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(LocalTime(AtUnixTime(1772953199, 999)), (CivilTime{2026, 3, 8, 1, 59, 59, 999}));
    EXPECT_EQ(LocalTime(AtUnixTime(1772953200)), (CivilTime{2026, 3, 8, 3, 0, 0, 0}));
    EXPECT_EQ(LocalTime(AtUnixTime(1793512799)), (CivilTime{2026, 11, 1, 1, 59, 59, 0}));
    EXPECT_EQ(LocalTime(AtUnixTime(1793512800)), (CivilTime{2026, 11, 1, 1, 0, 0, 0}));
  }
  {
    TimeZone utc("UTC0");
    EXPECT_EQ(LocalTime(AtUnixTime(-1, 500)), (CivilTime{1969, 12, 31, 23, 59, 59, 500}));
    EXPECT_EQ(LocalTime(AtUnixTime(1796630706, 843)), UniversalTime(AtUnixTime(1796630706, 843)));
  }
}

}  // namespace
}  // namespace tillgate
