#pragma once
// Reading an integer typed by the operator, as the framework's string to
// integer conversion does: optional leading blanks, an optional sign, decimal
// digits, and nothing after them.

#include <QString>
#include <cstdint>

namespace tillgate {

// True and *value set when `text` is a decimal integer within 32 bits;
// false (and *value untouched) otherwise.
bool ParseInteger(const QString& text, int32_t* value);

// "'<text>' is not a valid integer value".
QString NotValidIntegerMessage(const QString& text);

}  // namespace tillgate
