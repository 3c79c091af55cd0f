#pragma once
// For tests of the calendar: instants by their Unix time, and civil times
// printed readably in failures.

#include <chrono>
#include <cstdint>
#include <ostream>

#include "platform/local_time.h"

namespace tillgate {

inline std::chrono::system_clock::time_point AtUnixTime(int64_t seconds, int64_t millis = 0) {
  return std::chrono::system_clock::time_point(std::chrono::seconds(seconds)) +
         std::chrono::milliseconds(millis);
}

inline void PrintTo(const CivilTime& t, std::ostream* out) {
  *out << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
       << t.second << "." << t.millisecond;
}

}  // namespace tillgate
