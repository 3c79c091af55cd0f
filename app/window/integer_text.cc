#include "app/window/integer_text.h"

namespace tillgate {

bool ParseInteger(const QString& text, int32_t* value) {
  qsizetype at = 0;
  while (at < text.size() && text[at] == QLatin1Char(' ')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) {
    negative = text[at] == QLatin1Char('-');
    ++at;
  }
  if (at == text.size()) return false;
  int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const QChar c = text[at];
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    magnitude = magnitude * 10 + (c.unicode() - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return false;
  }
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return false;
  *value = static_cast<int32_t>(result);
  return true;
}

QString NotValidIntegerMessage(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

}  // namespace tillgate
