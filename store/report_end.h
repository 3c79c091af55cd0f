#pragma once
// Where the report file ended after the last document booked into it: the
// next document's rows go in right there, in that same file. After a crash
// only rows from there on can be the next document's own; rows before it
// are booked ones, however alike.

#include <cstdint>

#include "platform/file_system.h"

namespace tillgate {

struct ReportEnd {
  FileIdentity file;     // the report file it was written in
  uint32_t records = 0;  // whole records in it after that document
  bool known = false;    // false: none booked yet, or the file's identity unknown
  friend bool operator==(const ReportEnd&, const ReportEnd&) = default;
};

}  // namespace tillgate
