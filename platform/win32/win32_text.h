#pragma once
// Text at the edge of the Windows API: the program speaks UTF-8, the wide
// ("W") functions UTF-16. Every path, registry name and system message
// crosses here, so that Cyrillic folder names arrive intact.

#include <string>
#include <string_view>

namespace tillgate {

// False (and *wide cleared) when `utf8` is not valid UTF-8: a name that
// cannot be told to the system is refused rather than mangled.
bool WideFromUtf8(std::string_view utf8, std::wstring* wide);
// The same for callers that have already checked, or where a refused name
// simply fails later ("" names nothing).
std::wstring WideFromUtf8(std::string_view utf8);
// UTF-16 from the system as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);
// One argument of a command line, quoted where it needs to be, so that the
// C runtime's parser gives it back as it was.
std::wstring QuotedArgument(const std::wstring& argument);

}  // namespace tillgate
