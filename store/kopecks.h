#pragma once
// The amount a register charges: whole kopecks, rounded the one way the
// answer and the report agree on.

#include <cstdint>

namespace tillgate {

// Rounds an amount in kopecks to whole kopecks; a tenths digit above 5
// rounds up, anything else (5 included) rounds down. The wire field is
// unsigned 32-bit: negative or non-finite amounts give 0 and larger ones the
// field's maximum, rather than a wrapped-around charge.
uint32_t RoundKopecks(double amount_kopecks);

}  // namespace tillgate
