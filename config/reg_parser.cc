// Reading a registry export file into a RegDocument.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/cp1251.h"
#include "config/reg_document.h"
#include "config/utf16.h"

namespace tillgate {
namespace {

struct Line {
  int number;  // 1-based physical line number
  std::string_view text;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A REGEDIT4 export is written in the code page of the machine that made it.
bool StartsWithRegedit4(std::string_view bytes) {
  while (!bytes.empty() && (bytes.front() == '\r' || bytes.front() == '\n' ||
                            bytes.front() == ' ' || bytes.front() == '\t'))
    bytes.remove_prefix(1);
  return StartsWith(bytes, kRegHeader4);
}

// Brings the file to UTF-8 text and says how it was stored.
bool DecodeFileText(std::string_view bytes, std::string* text, RegFileEncoding* encoding) {
  if (StartsWith(bytes, "\xFF\xFE")) {
    *encoding = RegFileEncoding::kUtf16Le;
    return Utf16LeToUtf8(bytes.substr(2), text);
  }
  bool marked = StartsWith(bytes, "\xEF\xBB\xBF");
  if (marked) bytes.remove_prefix(3);
  if ((marked || !StartsWithRegedit4(bytes)) && IsValidUtf8(bytes)) {
    *encoding = marked ? RegFileEncoding::kUtf8WithBom : RegFileEncoding::kUtf8;
    text->assign(bytes);
    return true;
  }
  *encoding = RegFileEncoding::kCp1251;
  *text = Cp1251ToUtf8(bytes);
  return true;
}

// Registry names compare without regard to ASCII case.
std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  int number = 1;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back({number++, line});
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Reads a quoted string at the start of `s` (which begins with '"'), undoing
// the escapes of `\` and `"`. Leaves `s` after the closing quote.
bool ReadQuoted(std::string_view* s, std::string* out) {
  out->clear();
  size_t i = 1;
  while (i < s->size()) {
    // Plain characters up to the next quote or escape go in one piece.
    const size_t stop = std::min(s->find_first_of("\"\\", i), s->size());
    out->append(s->substr(i, stop - i));
    i = stop;
    if (i == s->size()) break;
    if ((*s)[i] == '"') {
      s->remove_prefix(i + 1);
      return true;
    }
    if (i + 1 >= s->size()) return false;
    char next = (*s)[i + 1];
    if (next != '\\' && next != '"') return false;
    out->push_back(next);
    i += 2;
  }
  return false;
}

bool ParseHexBytes(std::string_view list, std::string* bytes) {
  bytes->clear();
  list = Trim(list);
  if (list.empty()) return true;
  while (true) {
    size_t comma = list.find(',');
    std::string_view item = Trim(list.substr(0, comma));
    if (item.empty() || item.size() > 2) return false;
    int value = 0;
    for (char c : item) {
      int digit = HexDigit(c);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes->push_back(static_cast<char>(value));
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

bool ParseDword(std::string_view digits, uint32_t* value) {
  digits = Trim(digits);
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t result = 0;
  for (char c : digits) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  *value = result;
  return true;
}

class RegParser final {
 public:
  explicit RegParser(RegDocument* document) : document_(document) {}

  Status Parse(std::string_view file_bytes) {
    std::string text;
    if (!DecodeFileText(file_bytes, &text, &document_->encoding))
      return Failure(1, "not valid UTF-16 text");
    lines_ = SplitLines(text);
    bool header_seen = false;
    for (next_ = 0; next_ < lines_.size();) {
      const Line& line = lines_[next_++];
      std::string_view content = Trim(line.text);
      if (content.empty()) continue;
      if (!header_seen) {
        if (content != kRegHeader5 && content != kRegHeader4) {
          return Failure(line.number, "missing the header \"" + std::string(kRegHeader5) + "\"");
        }
        document_->header = std::string(content);
        header_seen = true;
        continue;
      }
      if (content.front() == ';') continue;
      Status status = content.front() == '[' ? ParseKeyLine(line.number, content)
                                             : ParseValueLine(line.number, content);
      if (!status.ok()) return status;
    }
    return Status::Ok();
  }

 private:
  static Status Failure(int line, const std::string& reason) {
    return Status::Error("Registry file line " + std::to_string(line) + ": " + reason);
  }

  Status ParseKeyLine(int number, std::string_view content) {
    if (content.back() != ']') return Failure(number, "key line without closing ']'");
    std::string_view path = content.substr(1, content.size() - 2);
    bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    if (path.empty() || path.front() == '\\' || path.back() == '\\') {
      return Failure(number, "malformed key name");
    }
    current_ = -1;
    if (remove) {
      RemoveTree(path);
      return Status::Ok();
    }
    auto [found, added] = key_index_.try_emplace(FoldedName(path), document_->keys.size());
    if (added) {
      document_->keys.push_back(RegKey{std::string(path), {}});
      value_index_.emplace_back();
    }
    current_ = static_cast<int>(found->second);
    return Status::Ok();
  }

  // Deletion entries are rare: the indexes are simply built again.
  void RebuildKeyIndex() {
    key_index_.clear();
    for (size_t i = 0; i < document_->keys.size(); ++i)
      key_index_.emplace(FoldedName(document_->keys[i].path), i);
  }
  void RebuildValueIndex(size_t key) {
    value_index_[key].clear();
    const std::vector<RegValue>& values = document_->keys[key].values;
    for (size_t i = 0; i < values.size(); ++i)
      value_index_[key].emplace(FoldedName(values[i].name), i);
  }

  void RemoveTree(std::string_view path) {
    std::string prefix = std::string(path) + "\\";
    auto doomed = [&](const RegKey& key) {
      return SameRegName(key.path, path) ||
             (key.path.size() > prefix.size() &&
              SameRegName(std::string_view(key.path).substr(0, prefix.size()), prefix));
    };
    std::vector<std::unordered_map<std::string, size_t>> kept_values;
    for (size_t i = 0; i < document_->keys.size(); ++i)
      if (!doomed(document_->keys[i])) kept_values.push_back(std::move(value_index_[i]));
    std::erase_if(document_->keys, doomed);
    value_index_ = std::move(kept_values);
    RebuildKeyIndex();
  }

  Status ParseValueLine(int number, std::string_view content) {
    if (current_ < 0) return Failure(number, "value outside of a key");
    RegValue value;
    if (content.front() == '@') {
      content.remove_prefix(1);
    } else if (content.front() == '"') {
      if (!ReadQuoted(&content, &value.name)) return Failure(number, "malformed value name");
    } else {
      return Failure(number, "unrecognised line");
    }
    content = TrimLeft(content);
    if (content.empty() || content.front() != '=') return Failure(number, "missing '='");
    content = TrimLeft(content.substr(1));
    std::string joined;
    if (StartsWith(content, "hex")) {
      if (!JoinContinuation(content, &joined)) return Failure(number, "unfinished hex data");
      content = joined;
    }
    const size_t key_number = static_cast<size_t>(current_);
    RegKey& key = document_->keys[key_number];
    auto& index = value_index_[key_number];
    const std::string folded = FoldedName(value.name);
    auto existing = index.find(folded);
    if (content == "-") {
      if (existing != index.end()) {
        key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(existing->second));
        RebuildValueIndex(key_number);
      }
      return Status::Ok();
    }
    Status status = ParseData(number, content, &value);
    if (!status.ok()) return status;
    if (existing != index.end()) {
      key.values[existing->second] = std::move(value);
    } else {
      index.emplace(folded, key.values.size());
      key.values.push_back(std::move(value));
    }
    return Status::Ok();
  }

  // Joins a hex list continued over lines with a trailing backslash.
  bool JoinContinuation(std::string_view first, std::string* joined) {
    joined->assign(TrimRight(first));
    while (!joined->empty() && joined->back() == '\\') {
      joined->pop_back();
      if (next_ >= lines_.size()) return false;
      joined->append(Trim(lines_[next_++].text));
    }
    return true;
  }

  static Status ParseData(int number, std::string_view data, RegValue* value) {
    if (!data.empty() && data.front() == '"') {
      value->type = RegValueType::kString;
      if (!ReadQuoted(&data, &value->text)) return Failure(number, "malformed string");
      if (!Trim(data).empty()) return Failure(number, "text after the closing quote");
      return Status::Ok();
    }
    if (StartsWith(data, "dword:")) {
      value->type = RegValueType::kDword;
      if (!ParseDword(data.substr(6), &value->dword)) return Failure(number, "malformed dword");
      return Status::Ok();
    }
    if (StartsWith(data, "hex:")) {
      value->type = RegValueType::kBinary;
      if (!ParseHexBytes(data.substr(4), &value->bytes)) return Failure(number, "malformed hex");
      return Status::Ok();
    }
    if (StartsWith(data, "hex(")) {
      size_t close = data.find("):");
      if (close == std::string_view::npos || close == 4 || close > 12) {
        return Failure(number, "malformed value type");
      }
      std::string_view code = data.substr(4, close - 4);
      for (char c : code) {
        if (HexDigit(c) < 0) return Failure(number, "malformed value type");
      }
      value->type = RegValueType::kOther;
      value->type_code = std::string(code);
      if (!ParseHexBytes(data.substr(close + 2), &value->bytes)) {
        return Failure(number, "malformed hex");
      }
      return Status::Ok();
    }
    return Failure(number, "unrecognised value data");
  }

  RegDocument* document_;
  // Folded names to positions, so that each line is found in constant time.
  std::unordered_map<std::string, size_t> key_index_;
  std::vector<std::unordered_map<std::string, size_t>> value_index_;  // per key
  std::vector<Line> lines_;
  size_t next_ = 0;
  int current_ = -1;
};

}  // namespace

bool SameRegName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

Status ParseRegFile(std::string_view file_bytes, RegDocument* document) {
  *document = RegDocument();
  RegParser parser(document);
  return parser.Parse(file_bytes);
}

}  // namespace tillgate
