#pragma once
// The scenario language of the register simulator: one step per line,
// grouped by "register N" lines. See docs/regsim.md for the full grammar.

#include <string>
#include <string_view>

#include "tools/regsim/message.h"

namespace tillgate::regsim {

class ScenarioParser {
 public:
  // Parses one line (comments after '#' and blank lines are allowed). `number`
  // is kept in the steps for messages. Returns false with error() set to a
  // description without position.
  bool AddLine(std::string_view line, int number);
  const std::string& error() const { return error_; }
  // The scenario built so far.
  const Scenario& scenario() const { return scenario_; }

 private:
  bool Fail(std::string text);
  RegisterScript* Current();

  Scenario scenario_;
  int current_net_ = 0;
  std::string error_;
};

// Parses a whole scenario file. On failure `error` reads "line N: ...".
bool ParseScenarioText(std::string_view text, Scenario* out, std::string* error);

}  // namespace tillgate::regsim
