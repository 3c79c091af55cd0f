#pragma once
// The file a protocol trace is appended to, behind a small interface so
// that tests can make it fail. One object stands for one traced port's file
// and the one old copy kept beside it (the name + ".1").

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/status.h"

namespace tillgate {

class TraceFile {
 public:
  virtual ~TraceFile() = default;
  // Opens the file for appending, creating it and its folder when missing;
  // ok with *size its present size. A failure names the file and the reason.
  virtual Status Open(uint64_t* size) = 0;
  // Appends all of `text` to the open file; a failure says why.
  virtual Status Append(std::string_view text) = 0;
  // Closes the file. Safe when it is not open.
  virtual void Close() = 0;
  // Closes the file and renames it to the old copy's name, replacing the
  // old copy; the next Open starts a new file.
  virtual Status MoveAside() = 0;
};

// `folder`/`name` in `files` (which must outlive it); the folder is created
// with its parents when missing.
std::unique_ptr<TraceFile> NewTraceFile(FileSystem& files, std::string folder, std::string name);

}  // namespace tillgate
