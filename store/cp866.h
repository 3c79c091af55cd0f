#pragma once
// Code page 866, the DOS Cyrillic code page of the goods and report files and
// of the register displays. The core keeps texts as these bytes; only a window
// converts them for display.

#include <string>
#include <string_view>

namespace tillgate {

// Every byte maps to one character, so this never fails.
std::string Cp866ToUtf8(std::string_view bytes);

// Characters without a code page 866 byte become '?'; invalid UTF-8 bytes too.
std::string Utf8ToCp866(std::string_view text);

}  // namespace tillgate
