#pragma once
// Code page 1251, the Windows Cyrillic code page: what a settings export made
// by an older Windows and many spreadsheet exports are written in.

#include <string>
#include <string_view>

namespace tillgate {

// Every byte maps to one character (0x98, unassigned, to U+0098 so that it
// survives a round trip), so this never fails.
std::string Cp1251ToUtf8(std::string_view bytes);

// False when `text` is not valid UTF-8 or holds a character code page 1251
// lacks; *out is then not to be used.
bool Utf8ToCp1251(std::string_view text, std::string* out);

}  // namespace tillgate
