#include "tools/regsim/exchange_log.h"

#include <cstdio>

#include "store/cp866.h"

namespace tillgate::regsim {
namespace {

std::string TwoDigits(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02u", value % 100);
  return text;
}

}  // namespace

std::string HexText(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string DisplayText(const std::string& cp866_text) {
  // A two-line text is line 1, CR LF, line 2.
  if (cp866_text.size() == 32) {
    return Cp866ToUtf8(cp866_text.substr(0, 15)) + "|" + Cp866ToUtf8(cp866_text.substr(17, 15));
  }
  return Cp866ToUtf8(cp866_text);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string DescribeSent(const Message& m, uint8_t seq, const std::vector<uint8_t>& frame) {
  if (m.kind == MessageKind::kRaw) return "sent raw bytes=" + HexText(frame);
  std::string out = std::string("sent ") + m.type + " seq=" + std::to_string(seq);
  switch (m.kind) {
    case MessageKind::kIdentify:
      out += " serial=" + m.serial + " year=" + TwoDigits(m.year);
      break;
    case MessageKind::kByCode:
      out += " code=" + std::to_string(m.code) + " qty=" + std::to_string(m.quantity);
      break;
    case MessageKind::kByBarcode:
      out += " barcode=" + m.barcode + " qty=" + std::to_string(m.quantity);
      break;
    case MessageKind::kDocument:
      out += " doc=" + std::to_string(m.document.value_or(0)) +
             " date=" + TwoDigits(m.day.value_or(0)) + "." + TwoDigits(m.month.value_or(0)) +
             " time=" + TwoDigits(m.hour.value_or(0)) + ":" + TwoDigits(m.minute.value_or(0));
      break;
    case MessageKind::kNothing:
    case MessageKind::kRaw:
      break;
  }
  if (m.from) out += " from=" + std::to_string(*m.from);
  if (m.bad_sum) out += " sum=bad";
  if (m.late.count() > 0) out += " late=" + std::to_string(m.late.count()) + "ms";
  return out;
}

std::string DescribeAnswer(const ServerEvent& e) {
  if (e.kind == ServerEvent::Kind::kGoods) {
    return "got goods text=" + Quoted(DisplayText(e.text)) + " amount=" + std::to_string(e.amount) +
           " section=" + e.section;
  }
  return std::string("got command ") + e.command;
}

std::string AnswerName(const ServerEvent& e) {
  if (e.kind == ServerEvent::Kind::kGoods) return "goods";
  return std::string(1, e.command);
}

}  // namespace tillgate::regsim
