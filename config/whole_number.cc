#include "config/whole_number.h"

#include <charconv>

namespace tillgate {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool ParseWholeNumber(std::string_view text, long long max, long long* out) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Unsigned: a second sign is no digit.
  unsigned long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return false;
  if ((negative && value != 0) || max < 0 || value > static_cast<unsigned long long>(max))
    return false;
  *out = static_cast<long long>(value);
  return true;
}

}  // namespace tillgate
