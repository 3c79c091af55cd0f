#pragma once
// The words a protocol trace puts after the bytes: what the server sent, and
// what it made of what came back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "line/answer_check.h"

namespace tillgate {

// "poll byte for register 2", "start command to register 2", "command \"+\"
// to register 2", "goods answer \"Молоко|12.50 *1.0\" 12.50 section 1 to
// register 3"; bytes that are none of these, "N bytes".
std::string DescribeSent(const uint8_t* bytes, size_t count);

// An answer to a poll of `polled`, e.g. "message \"s\" seq 0x07 from
// register 2; accepted", "...; rejected: the length byte 21 is above the 20
// bytes of the first read", "...; rejected (STRICT): byte 0 names register
// 3". Without STRICT an accepted answer still has what STRICT would refuse
// noted, so that registers can be checked before turning it on.
std::string DescribeAnswer(const uint8_t* frame, size_t first, size_t total, uint8_t polled,
                           const AnswerCheck& check, bool strict);

}  // namespace tillgate
