#pragma once
// A text file appended to a line at a time and kept to a size: when the
// next line would take it past its limit, it is moved aside to its old
// copy (replacing the one before) and a new one begun. The protocol traces
// and the service's log are kept so.

#include <cstdint>
#include <memory>
#include <string_view>

#include "line/trace_file.h"
#include "platform/status.h"

namespace tillgate {

class RotatingFile {
 public:
  // `file` is not null.
  RotatingFile(std::unique_ptr<TraceFile> file, uint64_t limit);

  // Appends `line`, opening the file (and its folder) first when needed.
  // A failure says why; the line is then lost, never the caller's work, and
  // the next line tries again.
  Status Append(std::string_view line);

 private:
  Status EnsureOpen();

  std::unique_ptr<TraceFile> file_;
  uint64_t limit_;
  bool open_ = false;
  uint64_t size_ = 0;
};

}  // namespace tillgate
