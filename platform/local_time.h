#pragma once
// Wall-clock time as a calendar shows it, in the system's local time zone
// (DBF headers, report rows, file names, event lines) or in UTC (the status
// file).

#include <chrono>
#include <cstdint>

namespace tillgate {

struct CivilTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..60
  int millisecond = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// `when` in the system's local time zone.
CivilTime LocalTime(std::chrono::system_clock::time_point when);
// `when` in UTC; the same on every system.
CivilTime UniversalTime(std::chrono::system_clock::time_point when);

}  // namespace tillgate
