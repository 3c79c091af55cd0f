#include "line/goods_answer.h"

#include <cstdio>
#include <cstring>

namespace tillgate {
namespace {

constexpr int kSecondLineStart = 17;  // after 15 characters and CR LF
constexpr int kNameCharacters = 30;   // two display lines of name at most

int LineStart(int display_line) { return display_line == 2 ? kSecondLineStart : 0; }

// Copies name characters [first, first + 15) into the line at `start`. The
// name ends at its zero byte; whatever is behind it is not shown,
// so the rest of the line is spaces.
void CopyNameSegment(const GoodsDisplay& goods, int first, int start,
                     char (&text)[kTextBufferSize]) {
  int length = static_cast<int>(strnlen(goods.name, kNameSize));
  for (int i = 0; i < kDisplayLineLength; ++i) {
    int from = first + i;
    text[start + i] = (from < length && from < kNameCharacters) ? goods.name[from] : ' ';
  }
}

// "%.10g": the shortest form with at most ten significant digits.
int FormatShortest(double value, char* out, int size) {
  int n = std::snprintf(out, size, "%.10g", value);
  if (n < 0) n = 0;
  if (n >= size) n = size - 1;
  return n;
}

// Quantity x 1000 as digits, leading zeros and spaces dropped. Capped so the
// digits always fit in front of the decimal point inside the line.
int QuantityDigits(double quantity, char (&digits)[32]) {
  char raw[32];
  int n = FormatShortest(quantity * 1000.0, raw, sizeof raw);
  int skip = 0;
  while (skip < n && (raw[skip] == '0' || raw[skip] == ' ')) ++skip;
  int length = n - skip;
  if (length > kDisplayLineLength - 4) length = kDisplayLineLength - 4;
  std::memcpy(digits, raw + skip, length);
  digits[length] = 0;
  return length;
}

// The price with at least two decimals: 12 -> "12.00", 12.5 -> "12.50",
// 12.345 stays.
int PriceText(double price, char (&out)[40]) {
  int n = FormatShortest(price, out, 32);
  const char* point = std::strchr(out, '.');
  if (point == nullptr && std::strchr(out, 'e') == nullptr) {
    std::memcpy(out + n, ".00", 4);
    n += 3;
  } else if (point != nullptr && std::strlen(point + 1) == 1) {
    out[n++] = '0';
    out[n] = 0;
  }
  return n;
}

bool IsDigitOneToNine(char c) { return c >= '1' && c <= '9'; }

}  // namespace

void NameLine(const GoodsDisplay& goods, int display_line, char (&text)[kTextBufferSize]) {
  CopyNameSegment(goods, 0, LineStart(display_line), text);
}

void PriceQuantityLine(const GoodsDisplay& goods, int display_line, char (&text)[kTextBufferSize]) {
  const int s = LineStart(display_line);
  const int e = s + kDisplayLineLength - 1;

  // Spaces, then "0000" under the last three decimals and the point.
  for (int i = s; i <= e - 4; ++i) text[i] = ' ';
  for (int i = e - 3; i <= e + 1; ++i) text[i] = '0';

  // Thousandths right-aligned so the last digit sits at e - 1.
  char digits[32];
  int n = QuantityDigits(goods.quantity, digits);
  std::memcpy(text + e - n, digits, n);
  text[e] = 0;

  // Shift the last three places right and put the point in front of them:
  // the quantity now reads with three decimals ending at e.
  for (int i = e; i >= e - 3; --i) text[i + 1] = text[i];
  text[e - 3] = '.';

  // "*" right before the first significant character.
  int star = e - 4;
  for (int i = s; i <= e; ++i) {
    if (IsDigitOneToNine(text[i]) || text[i] == '.') {
      star = i - 1;
      break;
    }
  }
  if (star < s) star = s;
  text[star] = '*';

  // Drop trailing zeros of the decimals but keep one decimal.
  int drop = 0;
  if (text[e] == '0') {
    drop = 1;
    if (text[e - 1] == '0') drop = 2;
  }
  if (drop > 0) {
    std::memmove(text + star + drop, text + star, e - drop - star + 1);
    star += drop;
  }
  for (int i = s; i < star; ++i) text[i] = ' ';

  // The price from the left of the line; a long one overwrites the "*" part
  // but never runs past the line.
  char price[40];
  int length = PriceText(goods.price, price);
  int first = 0;
  while (first < length && !(price[first] >= '0' && price[first] <= '9')) ++first;
  for (int i = first, at = s; i < length && at <= e; ++i, ++at) text[at] = price[i];
}

int ComposeText(const GoodsDisplay& goods, char first_letter, char second_letter,
                char (&text)[kTextBufferSize]) {
  std::memset(text, ' ', sizeof text);
  if (first_letter == 'N' && second_letter == 'N') {
    CopyNameSegment(goods, 0, 0, text);
    CopyNameSegment(goods, kDisplayLineLength, kSecondLineStart, text);
  } else if (first_letter == 'N' || second_letter == 'C' ||
             (first_letter == 'C' && second_letter == 'N')) {
    if (first_letter == 'C') {
      PriceQuantityLine(goods, 1, text);
    } else {
      NameLine(goods, 1, text);
    }
    if (second_letter == 'C') {
      PriceQuantityLine(goods, 2, text);
    } else {
      NameLine(goods, 2, text);
    }
  } else if (first_letter == 'C') {
    PriceQuantityLine(goods, 1, text);
    return kOneLineText;
  } else {
    NameLine(goods, 1, text);
    return kOneLineText;
  }
  text[kDisplayLineLength] = 0x0D;
  text[kDisplayLineLength + 1] = 0x0A;
  return kTwoLineText;
}

char SectionCharacter(char section) { return (section >= '1' && section <= '6') ? section : '1'; }

}  // namespace tillgate
