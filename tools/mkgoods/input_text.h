#pragma once
// A goods list as it arrives: UTF-8 (with or without a byte-order mark) or
// code page 1251, and only characters the goods file's code page 866 has.

#include <string>
#include <string_view>

namespace tillgate::mkgoods {

enum class InputEncoding { kDetect, kUtf8, kCp1251 };

// "utf-8", "cp1251" (also "1251", "windows-1251"); false for anything else.
bool ParseEncodingName(std::string_view name, InputEncoding* encoding);
const char* EncodingName(InputEncoding encoding);

// The list as UTF-8 text. kDetect: a byte-order mark or valid UTF-8 means
// UTF-8, anything else code page 1251. kUtf8 refuses invalid UTF-8 ("line N,
// column C: not valid UTF-8 ..."). *used says which was read.
bool DecodeInput(std::string_view bytes, InputEncoding wanted, std::string* text,
                 InputEncoding* used, std::string* error);

// The first character of `text` (UTF-8) that code page 866 lacks: false when
// there is none; else its line and column (1-based, in characters) and the
// character itself.
bool FindCharacterOutside866(std::string_view text, int* line, int* column, std::string* character);

}  // namespace tillgate::mkgoods
