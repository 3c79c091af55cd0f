#pragma once
// Reading an integer typed by the operator, as the framework's string to
// integer conversion does: optional leading blanks, an optional sign, decimal
// digits, and nothing after them.

#include <cstdint>
#include <string>
#include <string_view>

namespace tillgate {

// True and *value set when `text` is a decimal integer within 32 bits;
// false (and *value untouched) otherwise.
bool ParseInteger(std::string_view text, int32_t* value);

// "'<text>' is not a valid integer value".
std::string NotValidIntegerMessage(std::string_view text);

}  // namespace tillgate
