#include "platform/local_time.h"

namespace tillgate {

// The proleptic Gregorian calendar needs no system: the days since the epoch
// give the date, the rest of the day the time.
CivilTime UniversalTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const sys_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{floor<milliseconds>(when - day)};
  CivilTime civil;
  civil.year = static_cast<int>(date.year());
  civil.month = static_cast<int>(static_cast<unsigned>(date.month()));
  civil.day = static_cast<int>(static_cast<unsigned>(date.day()));
  civil.hour = static_cast<int>(time.hours().count());
  civil.minute = static_cast<int>(time.minutes().count());
  civil.second = static_cast<int>(time.seconds().count());
  civil.millisecond = static_cast<int>(time.subseconds().count());
  return civil;
}

}  // namespace tillgate
