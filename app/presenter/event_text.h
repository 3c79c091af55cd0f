#pragma once
// Event texts as the window shows them.

#include <string>
#include <string_view>

#include "config/event_sink.h"

namespace tillgate {

// An event text as one line: control characters read from a wire or a file
// become spaces, as in the terminal's event lines.
std::string OneLine(std::string_view text);

// "ошибка", "предупреждение", "уведомление" or "сведения".
const char* SeverityText(Severity severity);

}  // namespace tillgate
