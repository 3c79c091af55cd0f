#pragma once
// One register on a line: its place in the polling rotation and the protocol
// fields that decoding keeps for it. The store reads the document fields from
// it when the register closes a document.

#include <cstdint>

namespace tillgate {

inline constexpr int kSlotCount = 10;

enum PollState : uint8_t {
  kStartPending = 1,
  kAwaitingAnswer = 2,
  kPollDue = 3,
};

struct RegisterSlot {
  uint8_t network_number = 0;   // slot index + 1
  char serial_number[13] = {};  // 7 used; zero bytes until the first "d"
  uint8_t poll_state = kStartPending;
  bool present = true;
  bool first_exchange = false;
  uint32_t document_number = 0;
  uint8_t day = 0, month = 0, year = 0;  // BCD; year 00 until the first "d"
  uint8_t hour = 0, minute = 0;          // BCD
  uint8_t last_sequence = 0xFF;
  // Pool index of the operation a repeated sequence byte withdraws: the
  // register's last committed one, or -1 when there is nothing to withdraw
  // (a new message not committed yet, or a repetition already withdrawn).
  // Withdrawal also checks that the record is still pending and this
  // register's own, since "i" releases it without clearing this field.
  int32_t last_operation = 0;
};

}  // namespace tillgate
