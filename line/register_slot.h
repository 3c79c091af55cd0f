#pragma once
// One register on a line: its place in the polling rotation and the
// document stamp that decoding fills from its messages. What the store's
// rules keep of a register (its last sequence byte and last operation) is
// kept by the store.

#include <cstdint>

#include "store/document_stamp.h"
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
  DocumentStamp stamp;      // serial number and year from "d", the rest from "i"
};

}  // namespace tillgate
