#pragma once
// One register on a line: its place in the polling rotation. What the
// store's rules keep of a register (its last sequence byte and operation,
// the stamp of its documents) is kept by the store.

#include <cstdint>

#include "store/register_book.h"

namespace tillgate {

inline constexpr int kSlotCount = kRegistersPerLine;

enum PollState : uint8_t {
  kStartPending = 1,
  kAwaitingAnswer = 2,
  kPollDue = 3,
};

struct RegisterSlot {
  uint8_t network_number = 0;  // slot index + 1
  uint8_t poll_state = kStartPending;
  bool present = true;
  bool first_exchange = false;
  bool rescan_due = false;  // dropped, and offered a start command by a rescan
};

}  // namespace tillgate
