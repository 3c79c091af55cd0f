#include "engine/status_json.h"

#include <cstdio>
#include <vector>

#include "config/utf16.h"
#include "platform/local_time.h"

namespace tillgate {
namespace {

const char* HealthName(PortHealth health) {
  switch (health) {
    case PortHealth::kOpen:
      return "open";
    case PortHealth::kFailing:
      return "failing";
    case PortHealth::kClosed:
      return "closed";
    case PortHealth::kOpenFailed:
      return "open failed";
    case PortHealth::kNone:
      break;
  }
  return "none";
}

const char* JournalName(JournalHealth health) {
  switch (health) {
    case JournalHealth::kOk:
      return "ok";
    case JournalHealth::kFailing:
      return "failing";
    case JournalHealth::kHeld:
      return "held";
    case JournalHealth::kNone:
      break;
  }
  return "none";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

// One object's members on one line, in the order they are added.
class Members {
 public:
  Members& Raw(const char* name, const std::string& json) {
    text_ += (text_.empty() ? "{" : ", ") + JsonString(name) + ": " + json;
    return *this;
  }
  Members& Number(const char* name, uint64_t value) { return Raw(name, std::to_string(value)); }
  Members& Text(const char* name, std::string_view value) { return Raw(name, JsonString(value)); }
  Members& Flag(const char* name, bool value) { return Raw(name, Bool(value)); }
  // null when `known` is false.
  Members& TimeOrNull(const char* name, bool known, WallTime value) {
    return Raw(name, known ? JsonString(JsonTime(value)) : "null");
  }
  std::string Take() { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

std::string PortJson(int index, const PortStatus& port) {
  const bool failed = !port.last_error.empty();
  return Members()
      .Number("number", static_cast<uint64_t>(index + 1))
      .Text("name", port.name)
      .Text("device", port.device)
      .Number("state", port.state)
      .Flag("line", port.health != PortHealth::kNone)
      .Flag("open", port.Open())
      .Text("condition", HealthName(port.health))
      .Raw("last_error", failed ? JsonString(port.last_error) : "null")
      .TimeOrNull("last_error_time", failed, port.last_error_time)
      .Take();
}

std::string RegisterJson(int port_index, int slot, const RegisterStatus& r) {
  return Members()
      .Number("port", static_cast<uint64_t>(port_index + 1))
      .Number("network_number", static_cast<uint64_t>(slot + 1))
      .Raw("serial_number", r.serial_number.empty() ? "null" : JsonString(r.serial_number))
      .TimeOrNull("last_answer", r.answered, r.last_answer)
      .Raw("last_document", r.closed_document ? std::to_string(r.last_document) : "null")
      .Flag("document_open", r.pending_operations > 0)
      .Number("pending_operations", static_cast<uint64_t>(r.pending_operations))
      .Take();
}

std::string StoreJson(const StoreStatus& store) {
  Members members;
  members.Flag("goods_file", store.goods_open)
      .Number("goods_records", store.goods_records)
      .Flag("report_file", store.report_open)
      .Number("rows_written", store.rows_written)
      .Number("rows_waiting", store.rows_waiting)
      .Text("journal", JournalName(store.journal));
  // Only when there are any, so that a shop without them sees the file as
  // it always was.
  if (!store.kept_operations.empty()) {
    Members kept;
    for (const auto& [serial, count] : store.kept_operations)
      kept.Number(serial.c_str(), static_cast<uint64_t>(count));
    members.Raw("kept_operations", kept.Take());
  }
  return members.Take();
}

// A list of one-line objects, one per line.
std::string List(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string text = "[\n";
  for (size_t i = 0; i < items.size(); ++i)
    text += "    " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
  return text + "  ]";
}

}  // namespace

std::string JsonTime(WallTime time) {
  const CivilTime utc = UniversalTime(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    char32_t c = 0;
    char escaped[8];
    if (!NextUtf8(text, &i, &c)) {
      std::snprintf(escaped, sizeof escaped, "\\\\x%02X", static_cast<unsigned char>(text[at]));
      out += escaped;
      i = at + 1;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.append(text.substr(at, i - at));
    }
  }
  return out + "\"";
}

std::string StatusJson(const StatusSnapshot& snapshot, const StatusFileHeader& header) {
  std::vector<std::string> ports;
  std::vector<std::string> registers;
  for (int p = 0; p < kPortCount; ++p) {
    ports.push_back(PortJson(p, snapshot.ports[static_cast<size_t>(p)]));
    for (int n = 0; n < kRegistersPerLine; ++n) {
      const RegisterStatus& r = snapshot.registers[static_cast<size_t>(p)][static_cast<size_t>(n)];
      if (r.Listed()) registers.push_back(RegisterJson(p, n, r));
    }
  }
  std::string text = "{\n";
  text += "  \"program\": \"tillgate\",\n";
  text += "  \"version\": " + JsonString(header.version) + ",\n";
  text += "  \"pid\": " + std::to_string(header.pid) + ",\n";
  text += "  \"started\": " + JsonString(JsonTime(header.started)) + ",\n";
  text += "  \"written\": " + JsonString(JsonTime(header.written)) + ",\n";
  text += std::string("  \"running\": ") + Bool(header.running) + ",\n";
  text += "  \"ports\": " + List(ports) + ",\n";
  text += "  \"registers\": " + List(registers) + ",\n";
  text += "  \"store\": " + StoreJson(snapshot.store) + "\n";
  return text + "}\n";
}

}  // namespace tillgate
