#pragma once
// The contents of a registry export file as data: keys in file order, each
// with its values in file order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/registry_store.h"
#include "config/status.h"

namespace tillgate {

struct RegValue {
  std::string name;  // empty for the default value ("@")
  RegValueType type = RegValueType::kString;
  std::string text;       // kString: the text (UTF-8)
  uint32_t dword = 0;     // kDword
  std::string bytes;      // kBinary and kOther: the raw bytes
  std::string type_code;  // kOther: the hex digits of "hex(N):", e.g. "2"
};

struct RegKey {
  std::string path;  // full path with its root, e.g. "HKEY_CURRENT_USER\\Tillgate"
  std::vector<RegValue> values;
};

inline constexpr char kRegHeader5[] = "Windows Registry Editor Version 5.00";
inline constexpr char kRegHeader4[] = "REGEDIT4";

struct RegDocument {
  std::string header = kRegHeader5;
  std::vector<RegKey> keys;
};

// ASCII case-insensitive equality, as the registry compares names.
bool SameRegName(std::string_view a, std::string_view b);

// Parses a whole file: UTF-8 (with or without a byte-order mark) or UTF-16LE
// with its byte-order mark; LF or CRLF line ends. An empty file is an empty
// document. Errors name the line: "Registry file line 7: ...".
Status ParseRegFile(std::string_view file_bytes, RegDocument* document);

// The document as UTF-8 text with CRLF line ends, in the layout of an export.
std::string FormatRegFile(const RegDocument& document);

}  // namespace tillgate
