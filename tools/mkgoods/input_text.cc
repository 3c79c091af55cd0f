#include "tools/mkgoods/input_text.h"

#include "config/cp1251.h"
#include "config/utf16.h"
#include "store/cp866.h"

namespace tillgate::mkgoods {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Line and column (1-based, in characters) of byte `offset` of `text`.
void Position(std::string_view text, size_t offset, int* line, int* column) {
  *line = 1;
  *column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == '\n') {
      ++*line;
      *column = 1;
    } else if ((b & 0xC0) != 0x80) {
      ++*column;
    }
  }
}

}  // namespace

bool ParseEncodingName(std::string_view name, InputEncoding* encoding) {
  if (name == "utf-8" || name == "utf8" || name == "UTF-8") {
    *encoding = InputEncoding::kUtf8;
  } else if (name == "cp1251" || name == "1251" || name == "windows-1251" || name == "CP1251") {
    *encoding = InputEncoding::kCp1251;
  } else {
    return false;
  }
  return true;
}

const char* EncodingName(InputEncoding encoding) {
  switch (encoding) {
    case InputEncoding::kUtf8:
      return "UTF-8";
    case InputEncoding::kCp1251:
      return "code page 1251";
    case InputEncoding::kDetect:
      break;
  }
  return "detected";
}

bool DecodeInput(std::string_view bytes, InputEncoding wanted, std::string* text,
                 InputEncoding* used, std::string* error) {
  const bool marked = bytes.substr(0, kBom.size()) == kBom;
  if (wanted == InputEncoding::kCp1251 ||
      (wanted == InputEncoding::kDetect && !marked && !IsValidUtf8(bytes))) {
    *used = InputEncoding::kCp1251;
    *text = Cp1251ToUtf8(bytes);
    return true;
  }
  if (marked) bytes.remove_prefix(kBom.size());
  size_t i = 0;
  char32_t c = 0;
  while (i < bytes.size() && NextUtf8(bytes, &i, &c)) {
  }
  if (i < bytes.size()) {
    int line = 0, column = 0;
    Position(bytes, i, &line, &column);
    *error = "line " + std::to_string(line) + ", column " + std::to_string(column) +
             ": not valid UTF-8 (is the list in code page 1251? then give --encoding cp1251)";
    return false;
  }
  *used = InputEncoding::kUtf8;
  text->assign(bytes);
  return true;
}

bool FindCharacterOutside866(std::string_view text, int* line, int* column,
                             std::string* character) {
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    char32_t c = 0;
    if (!NextUtf8(text, &i, &c)) {
      i = at + 1;
      c = 0xFFFD;
    }
    if (c < 0x80) continue;
    std::string one;
    AppendUtf8(c, &one);
    if (Utf8ToCp866(one) != "?") continue;
    Position(text, at, line, column);
    *character = one;
    return true;
  }
  return false;
}

}  // namespace tillgate::mkgoods
