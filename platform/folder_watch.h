#pragma once
// Sleeping until something happens in the shop's folders: a file placed,
// renamed into place or written, or a wake-up from another thread. Where a
// folder gives no change notification (network shares, a folder missing at
// start), the caller's time-out is the only way to notice; Add says so.

#include <chrono>
#include <memory>
#include <string>

#include "platform/status.h"

namespace tillgate {

class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
  // Watches `folder` for files created, moved in or written. A failure says
  // why notification cannot be had there.
  virtual Status Add(const std::string& folder) = 0;
  // Returns when a watched folder changed, Wake was called (before or
  // during the wait), or `timeout` passed. True unless the time ran out.
  virtual bool Wait(std::chrono::milliseconds timeout) = 0;
  // From any thread: ends the current Wait, or the next one, at once.
  virtual void Wake() = 0;
};

}  // namespace tillgate
