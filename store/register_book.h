#pragma once
// What the store keeps of every register it serves, by line and network
// number: the sequence byte of its last goods message, the operation a
// repetition of that message takes back, and the stamp of its documents.

#include <array>
#include <cstdint>

#include "config/port_config.h"
#include "store/document_stamp.h"

namespace tillgate {

inline constexpr int kRegistersPerLine = 10;  // network numbers 1..10

struct RegisterState {
  uint8_t last_sequence = 0xFF;
  // Pool index of the operation a repeated sequence byte withdraws: the
  // register's last committed one, or -1 when there is nothing to withdraw
  // (a new message not committed yet, a repetition already withdrawn, a
  // closed document). Withdrawal also checks that the record is still
  // pending and this register's own.
  int32_t last_operation = -1;
  // Serial number and year as it told them in its latest identification
  // ("d"), kept in the journal so that a document open across a restart is
  // stamped with them before the register identifies again; number, date
  // and time of the document it closed last.
  bool identified = false;
  DocumentStamp stamp;
};

class RegisterBook {
 public:
  // Null for a line index outside 0..15 or a network number outside 1..10.
  RegisterState* Find(uint32_t line_index, uint8_t network_number) {
    if (line_index >= static_cast<uint32_t>(kPortCount) || network_number < 1 ||
        network_number > kRegistersPerLine)
      return nullptr;
    return &states_[line_index][network_number - 1u];
  }
  const RegisterState* Find(uint32_t line_index, uint8_t network_number) const {
    return const_cast<RegisterBook*>(this)->Find(line_index, network_number);
  }

 private:
  std::array<std::array<RegisterState, kRegistersPerLine>, kPortCount> states_{};
};

}  // namespace tillgate
