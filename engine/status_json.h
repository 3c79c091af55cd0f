#pragma once
// The status file's text: the board's snapshot as JSON, for monitoring
// tools (docs/status.md describes every field).

#include <string>
#include <string_view>

#include "store/status_board.h"

namespace tillgate {

// What the file says besides the board.
struct StatusFileHeader {
  std::string version;  // "X.Y.Z"
  long pid = 0;
  WallTime started{};
  WallTime written{};
  bool running = true;  // false in the last file a stopping server writes
};

std::string StatusJson(const StatusSnapshot& snapshot, const StatusFileHeader& header);

// "2026-12-07T08:25:06Z" (UTC, whole seconds).
std::string JsonTime(WallTime time);
// `text` as a JSON string with its quotes. Control characters are escaped;
// a byte that is not part of a UTF-8 character is written as the text
// \xNN, so that the file stays valid UTF-8 whatever a register sent.
std::string JsonString(std::string_view text);

}  // namespace tillgate
