#include "app/presenter/event_text.h"

namespace tillgate {

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return line;
}

const char* SeverityText(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "ошибка";
    case Severity::kWarning:
      return "предупреждение";
    case Severity::kNotice:
      return "уведомление";
    case Severity::kInfo:
      break;
  }
  return "сведения";
}

}  // namespace tillgate
