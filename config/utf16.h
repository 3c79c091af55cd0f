#pragma once
// UTF-8 and UTF-16LE, for registry files exported on Windows and for texts
// that arrive in other encodings.

#include <string>
#include <string_view>

namespace tillgate {

// Converts little-endian UTF-16 (without byte-order mark) to UTF-8. False on
// an odd byte count or an unpaired surrogate; *out is then not to be used.
bool Utf16LeToUtf8(std::string_view bytes, std::string* out);

// Converts UTF-8 to little-endian UTF-16 (without byte-order mark). False on
// invalid UTF-8; *out is then not to be used.
bool Utf8ToUtf16Le(std::string_view text, std::string* out);

// Appends the UTF-8 form of `code_point`.
void AppendUtf8(char32_t code_point, std::string* out);

// Decodes the UTF-8 sequence at text[*i] into *code_point and moves *i past
// it. False (and *i unchanged) for a malformed, overlong or surrogate
// sequence or one cut short.
bool NextUtf8(std::string_view text, size_t* i, char32_t* code_point);

// True when every byte of `text` belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(std::string_view text);

}  // namespace tillgate
