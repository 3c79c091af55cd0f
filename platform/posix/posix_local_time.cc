// The local time zone as the C library knows it ($TZ, /etc/localtime).

#include <time.h>

#include "platform/local_time.h"

namespace tillgate {

CivilTime LocalTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto second = floor<seconds>(when);
  const time_t seconds_since_epoch = static_cast<time_t>(second.time_since_epoch().count());
  tm local{};
  // A time the C library cannot place (beyond its years) is shown in UTC.
  if (localtime_r(&seconds_since_epoch, &local) == nullptr) return UniversalTime(when);
  CivilTime civil;
  civil.year = local.tm_year + 1900;
  civil.month = local.tm_mon + 1;
  civil.day = local.tm_mday;
  civil.hour = local.tm_hour;
  civil.minute = local.tm_min;
  civil.second = local.tm_sec;
  civil.millisecond = static_cast<int>(duration_cast<milliseconds>(when - second).count());
  return civil;
}

}  // namespace tillgate
