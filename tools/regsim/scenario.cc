#include "tools/regsim/scenario.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

namespace tillgate::regsim {
namespace {

std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// Decimal, or hexadecimal with "0x".
std::optional<uint64_t> Number(std::string_view text, uint64_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > max) {
    return std::nullopt;
  }
  return value;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "500ms", "2s", "1.5s".
std::optional<std::chrono::milliseconds> Duration(std::string_view text) {
  double scale = 0;
  if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
    scale = 1;
    text.remove_suffix(2);
  } else if (text.size() > 1 && text.back() == 's') {
    scale = 1000;
    text.remove_suffix(1);
  } else {
    return std::nullopt;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 86400e3) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<int64_t>(value * scale + 0.5));
}

// "DD.MM" or "HH:MM" into two numbers within the limits.
bool Pair(std::string_view text, char sep, unsigned lo1, unsigned hi1, unsigned hi2,
          std::optional<uint8_t>* a, std::optional<uint8_t>* b) {
  const size_t at = text.find(sep);
  if (at == std::string_view::npos) return false;
  auto first = Number(text.substr(0, at), hi1);
  auto second = Number(text.substr(at + 1), hi2);
  if (!first || !second || *first < lo1) return false;
  *a = static_cast<uint8_t>(*first);
  *b = static_cast<uint8_t>(*second);
  return true;
}

bool HexBytes(const std::vector<std::string_view>& tokens, size_t from, std::vector<uint8_t>* out) {
  for (size_t t = from; t < tokens.size(); ++t) {
    std::string_view token = tokens[t];
    if (token.size() % 2 != 0) return false;
    for (size_t i = 0; i < token.size(); i += 2) {
      uint8_t byte = 0;
      auto [end, ec] = std::from_chars(token.data() + i, token.data() + i + 2, byte, 16);
      if (ec != std::errc() || end != token.data() + i + 2) return false;
      out->push_back(byte);
    }
  }
  return !out->empty();
}

bool HasGoodsMessage(const RegisterScript& reg) {
  for (const Step& step : reg.steps) {
    if (step.kind == StepKind::kSend && (step.message.kind == MessageKind::kByCode ||
                                         step.message.kind == MessageKind::kByBarcode)) {
      return true;
    }
  }
  return false;
}

bool IsOption(std::string_view token) { return token.find('=') != std::string_view::npos; }

}  // namespace

bool ScenarioParser::Fail(std::string text) {
  error_ = std::move(text);
  return false;
}

RegisterScript* ScenarioParser::Current() {
  for (auto& reg : scenario_.registers) {
    if (reg.net == current_net_) return &reg;
  }
  return nullptr;
}

bool ScenarioParser::AddLine(std::string_view line, int number) {
  const size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  std::vector<std::string_view> all = Tokens(line);
  if (all.empty()) return true;

  const std::string_view word = all[0];
  if (word == "register") {
    auto net = all.size() == 2 ? Number(all[1], 10) : std::nullopt;
    if (!net || *net < 1) return Fail("\"register\" needs one network number 1..10");
    current_net_ = static_cast<int>(*net);
    if (Current() == nullptr) {
      scenario_.registers.push_back(RegisterScript{static_cast<uint8_t>(*net), {}});
    }
    return true;
  }
  RegisterScript* reg = Current();
  if (reg == nullptr) return Fail("no register chosen: write \"register N\" first");

  Step step;
  step.line = number;
  // Options (key=value) may stand anywhere after the first word.
  std::vector<std::string_view> args;
  std::vector<std::string_view> options;
  for (size_t i = 1; i < all.size(); ++i) (IsOption(all[i]) ? options : args).push_back(all[i]);

  if (word == "wait" || word == "off" || word == "on" || word == "loop" || word == "repeat") {
    if (word == "wait") {
      auto d = args.size() == 1 ? Duration(args[0]) : std::nullopt;
      if (!d || !options.empty()) return Fail("\"wait\" needs one duration such as 500ms or 2s");
      step.kind = StepKind::kWait;
      step.wait = *d;
    } else if (!args.empty() || !options.empty()) {
      return Fail("\"" + std::string(word) + "\" takes nothing after it");
    } else {
      step.kind = word == "off"    ? StepKind::kOff
                  : word == "on"   ? StepKind::kOn
                  : word == "loop" ? StepKind::kLoopStart
                                   : StepKind::kRepeat;
    }
    if (step.kind == StepKind::kRepeat && !HasGoodsMessage(*reg)) {
      return Fail("\"repeat\" needs an earlier goods message of the register");
    }
    reg->steps.push_back(std::move(step));
    return true;
  }

  if (word == "junk") {
    if (!options.empty() || !HexBytes(args, 0, &step.message.raw))
      return Fail("\"junk\" needs hexadecimal bytes such as 02 30 03");
    step.kind = StepKind::kJunk;
    step.message.kind = MessageKind::kRaw;
    step.message.type = 0;
    reg->steps.push_back(std::move(step));
    return true;
  }

  Message& m = step.message;
  if (word.size() == 1 && std::string_view("pqlszkdif").find(word[0]) != std::string_view::npos) {
    m.type = word[0];
  } else if (word == "raw") {
    m.type = 0;
  } else {
    return Fail("unknown step \"" + std::string(word) + "\"");
  }

  for (std::string_view opt : options) {
    const size_t eq = opt.find('=');
    std::string_view key = opt.substr(0, eq);
    std::string_view value = opt.substr(eq + 1);
    if (key == "seq") {
      auto seq = Number(value, 255);
      if (!seq) return Fail("seq must be 0..255");
      m.seq = static_cast<uint8_t>(*seq);
    } else if (key == "expect") {
      if (value == "goods") {
        m.expect = Expect::kGoods;
      } else if (value == "none") {
        m.expect = Expect::kNone;
      } else if (value.size() == 1 &&
                 std::string_view("+o!u").find(value[0]) != std::string_view::npos) {
        m.expect = Expect::kCommand;
        m.expect_command = value[0];
      } else {
        return Fail("expect must be goods, none, +, o, ! or u");
      }
    } else if (key == "late") {
      auto d = Duration(value);
      if (!d) return Fail("late must be a duration such as 130ms");
      m.late = *d;
    } else if (key == "from") {
      auto net = Number(value, 255);
      if (!net) return Fail("from must be a network number 0..255");
      m.from = static_cast<uint8_t>(*net);
    } else if (key == "sum") {
      if (value != "bad") return Fail("sum can only be bad");
      m.bad_sum = true;
    } else if (key == "date" && m.type == 'i') {
      if (!Pair(value, '.', 1, 31, 12, &m.day, &m.month) || *m.month < 1) {
        return Fail("date must be DD.MM");
      }
    } else if (key == "time" && m.type == 'i') {
      if (!Pair(value, ':', 0, 23, 59, &m.hour, &m.minute)) return Fail("time must be HH:MM");
    } else {
      return Fail("unknown option \"" + std::string(key) + "\"");
    }
  }

  switch (m.type) {
    case 'd': {
      if (args.size() != 2 || args[0].size() != 7) {
        return Fail("\"d\" needs a 7-character serial number and a year 0..99");
      }
      auto year = Number(args[1], 99);
      if (!year) return Fail("the year of \"d\" must be 0..99");
      m.kind = MessageKind::kIdentify;
      m.serial = std::string(args[0]);
      m.year = static_cast<uint8_t>(*year);
      break;
    }
    case 'p':
    case 'q':
    case 'l': {
      if (args.empty() || args.size() > 2) return Fail("goods by code needs CODE [QUANTITY]");
      auto code = Number(args[0], 0xFFFF);
      if (!code) return Fail("goods code must be 0..65535");
      m.kind = MessageKind::kByCode;
      m.code = static_cast<uint16_t>(*code);
      break;
    }
    case 's':
    case 'z':
    case 'k': {
      if (args.empty() || args.size() > 2) return Fail("goods by barcode needs BARCODE [QUANTITY]");
      if (!AllDigits(args[0]) || args[0].size() > 14) return Fail("barcode must be 1..14 digits");
      m.kind = MessageKind::kByBarcode;
      m.barcode = std::string(args[0]);
      break;
    }
    case 'i': {
      if (args.size() > 1) return Fail("\"i\" takes at most a document number");
      if (args.size() == 1) {
        auto doc = Number(args[0], 0xFFFFFFFFu);
        if (!doc) return Fail("document number must be 0..4294967295");
        m.document = static_cast<uint32_t>(*doc);
      }
      m.kind = MessageKind::kDocument;
      break;
    }
    case 'f':
      if (!args.empty()) return Fail("\"f\" takes nothing after it");
      m.kind = MessageKind::kNothing;
      break;
    default:  // raw
      m.kind = MessageKind::kRaw;
      if (m.seq || m.from || m.bad_sum)
        return Fail("a raw frame carries its own sequence byte, address and checksum");
      if (!HexBytes(args, 0, &m.raw))
        return Fail("\"raw\" needs hexadecimal bytes such as 02 30 03");
      break;
  }
  if ((m.kind == MessageKind::kByCode || m.kind == MessageKind::kByBarcode) && args.size() == 2) {
    auto qty = Number(args[1], 0xFFFFFFFFu);
    if (!qty) return Fail("quantity must be thousandths 0..4294967295");
    m.quantity = static_cast<uint32_t>(*qty);
  }
  reg->steps.push_back(std::move(step));
  return true;
}

bool ParseScenarioText(std::string_view text, Scenario* out, std::string* error) {
  ScenarioParser parser;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (!parser.AddLine(line, number)) {
      *error = "line " + std::to_string(number) + ": " + parser.error();
      return false;
    }
  }
  *out = parser.scenario();
  return true;
}

}  // namespace tillgate::regsim
