// Local time on Windows: the system's FILETIME arithmetic, and its own time
// zone rules for the local time of the date in question (UTC is portable,
// platform/local_time.cc).

#include <windows.h>

#include "platform/local_time.h"

namespace tillgate {
namespace {

// 100-nanosecond ticks from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr int64_t kTicksTo1970 = 116444736000000000;

// `when` as a UTC SYSTEMTIME; times before 1601 (which FILETIME cannot
// hold) are taken as its first moment.
SYSTEMTIME UtcSystemTime(std::chrono::system_clock::time_point when) {
  const auto ticks =
      std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>>(
          when.time_since_epoch())
          .count() +
      kTicksTo1970;
  const uint64_t positive = ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
  FILETIME file_time;
  file_time.dwLowDateTime = static_cast<DWORD>(positive);
  file_time.dwHighDateTime = static_cast<DWORD>(positive >> 32);
  SYSTEMTIME system_time{};
  FileTimeToSystemTime(&file_time, &system_time);
  return system_time;
}

CivilTime CivilFrom(const SYSTEMTIME& t) {
  return CivilTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

CivilTime LocalTime(std::chrono::system_clock::time_point when) {
  const SYSTEMTIME universal = UtcSystemTime(when);
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return CivilFrom(universal);
  return CivilFrom(local);
}

}  // namespace tillgate
