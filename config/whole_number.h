#pragma once
// A non-negative whole number from a command line, read as strtoll reads it
// (leading white space and one sign allowed) but told apart from every
// mistake without errno.

#include <string_view>

namespace tillgate {

// True with *out set when `text` is a whole number 0..`max` in decimal;
// false for anything else (nothing, trailing characters, a negative number,
// one too large).
bool ParseWholeNumber(std::string_view text, long long max, long long* out);

}  // namespace tillgate
