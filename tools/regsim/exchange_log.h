#pragma once
// The one-line texts the simulator prints for each exchange. They are meant
// to be read by tests: "key=value" words after "net=N", texts in quotes.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/regsim/message.h"
#include "tools/regsim/server_frame.h"

namespace tillgate::regsim {

// Uppercase hexadecimal without separators, e.g. "0130030061".
std::string HexText(const std::vector<uint8_t>& bytes);

// The display text of a goods answer in UTF-8, display lines joined by '|'.
std::string DisplayText(const std::string& cp866_text);

// Quotes a text; '"' and '\' are escaped with a backslash.
std::string Quoted(const std::string& text);

// "sent p seq=2 code=12345 qty=1000" and the like (without "net=N ").
std::string DescribeSent(const Message& message, uint8_t seq, const std::vector<uint8_t>& frame);

// "got command o" or "got goods text=\"...\" amount=350 section=1".
std::string DescribeAnswer(const ServerEvent& event);

// Short name of an answer for comparisons: "goods", "+", "o", "!", "u".
std::string AnswerName(const ServerEvent& event);

}  // namespace tillgate::regsim
