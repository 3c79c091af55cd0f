#pragma once
// The contents of a registry export file as data: keys in file order, each
// with its values in file order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_store.h"
#include "platform/status.h"

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

// How a file's bytes carry its text. A document is written back the way it
// was read, so that a file exported on Windows stays readable there and no
// character is ever lost to a wrong guess.
enum class RegFileEncoding : uint8_t {
  kUtf8,
  kUtf8WithBom,
  kUtf16Le,  // with its byte-order mark, as a Windows export is stored
  kCp1251,   // a REGEDIT4 export, or a file that is neither UTF-8 nor UTF-16
};

struct RegDocument {
  std::string header = kRegHeader5;
  RegFileEncoding encoding = RegFileEncoding::kUtf8;
  std::vector<RegKey> keys;
};

// ASCII case-insensitive equality, as the registry compares names.
bool SameRegName(std::string_view a, std::string_view b);

// Parses a whole file: UTF-16LE with its byte-order mark, UTF-8 with a
// byte-order mark, code page 1251 for a REGEDIT4 file or one that is not
// valid UTF-8, else UTF-8; LF or CRLF line ends. The encoding found is kept in
// the document. An empty file is an empty document. Errors name the line:
// "Registry file line 7: ...". Time and memory grow linearly with the file.
Status ParseRegFile(std::string_view file_bytes, RegDocument* document);

// The document's file bytes with CRLF line ends, in the layout of an export,
// in the document's encoding. Text that code page 1251 cannot hold is written
// as UTF-8 under the version 5.00 header instead (a REGEDIT4 header would
// have it read back as code page 1251).
std::string FormatRegFile(const RegDocument& document);

}  // namespace tillgate
