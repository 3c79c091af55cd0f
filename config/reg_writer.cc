// Writing a RegDocument in the layout of a registry export.

#include <cstdio>
#include <string>
#include <vector>

#include "config/cp1251.h"
#include "config/reg_document.h"
#include "config/utf16.h"

namespace tillgate {
namespace {

constexpr char kLineEnd[] = "\r\n";
// Hex lists are wrapped as an export wraps them: a line holds bytes (each
// counted with its comma) up to this width, then gets a trailing backslash.
constexpr size_t kHexLineWidth = 77;
constexpr char kContinuationIndent[] = "  ";

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string HexByte(uint8_t byte) {
  char buffer[3];
  std::snprintf(buffer, sizeof buffer, "%02x", byte);
  return buffer;
}

// `prefix` is the value's text up to and including "hex:" or "hex(N):".
std::string FormatHexList(std::string prefix, const std::string& bytes) {
  std::string out;
  std::string line = std::move(prefix);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (line.size() + 3 > kHexLineWidth && line != kContinuationIndent) {
      out += line + "\\" + kLineEnd;
      line = kContinuationIndent;
    }
    line += HexByte(static_cast<uint8_t>(bytes[i]));
    if (i + 1 < bytes.size()) line.push_back(',');
  }
  return out + line;
}

std::string FormatValue(const RegValue& value) {
  std::string head = value.name.empty() ? "@=" : Quote(value.name) + "=";
  switch (value.type) {
    case RegValueType::kString:
      return head + Quote(value.text);
    case RegValueType::kDword: {
      char buffer[9];
      std::snprintf(buffer, sizeof buffer, "%08x", static_cast<unsigned>(value.dword));
      return head + "dword:" + buffer;
    }
    case RegValueType::kBinary:
      return FormatHexList(head + "hex:", value.bytes);
    case RegValueType::kOther:
      return FormatHexList(head + "hex(" + value.type_code + "):", value.bytes);
  }
  return head;
}

}  // namespace

namespace {

std::string FormatText(const std::string& header, const std::vector<RegKey>& keys) {
  std::string out = header + kLineEnd + kLineEnd;
  for (const RegKey& key : keys) {
    out += "[" + key.path + "]" + kLineEnd;
    for (const RegValue& value : key.values) out += FormatValue(value) + kLineEnd;
    out += kLineEnd;
  }
  return out;
}

}  // namespace

std::string FormatRegFile(const RegDocument& document) {
  RegFileEncoding encoding = document.encoding;
  // A REGEDIT4 file is read back as code page 1251 whatever it holds.
  if (document.header == kRegHeader4 && encoding == RegFileEncoding::kUtf8)
    encoding = RegFileEncoding::kCp1251;
  const std::string text = FormatText(document.header, document.keys);
  std::string bytes;
  switch (encoding) {
    case RegFileEncoding::kUtf8:
      return text;
    case RegFileEncoding::kUtf8WithBom:
      return "\xEF\xBB\xBF" + text;
    case RegFileEncoding::kUtf16Le:
      if (Utf8ToUtf16Le(text, &bytes)) return "\xFF\xFE" + bytes;
      break;
    case RegFileEncoding::kCp1251:
      if (Utf8ToCp1251(text, &bytes)) return bytes;
      break;
  }
  return FormatText(kRegHeader5, document.keys);
}

}  // namespace tillgate
