#pragma once
// UTF-16LE to UTF-8, for registry files exported on Windows.

#include <string>
#include <string_view>

namespace tillgate {

// Converts little-endian UTF-16 (without byte-order mark) to UTF-8. False on
// an odd byte count or an unpaired surrogate; *out is then not to be used.
bool Utf16LeToUtf8(std::string_view bytes, std::string* out);

}  // namespace tillgate
