#include "line/line_silence.h"

namespace tillgate {

LineSilence::LineSilence(EventSink* events, std::string port_name, std::string where)
    : events_(events), condition_(std::move(port_name) + " line"), where_(std::move(where)) {}

void LineSilence::Restart(Clock::time_point now) { last_answer_ = now; }

void LineSilence::Polled(bool answered, Clock::time_point now) {
  if (answered) {
    last_answer_ = now;
    if (told_) ReportConditionCleared(events_, condition_, where_ + ": registers answer again");
    told_ = false;
    return;
  }
  if (told_ || now - last_answer_ < kLineSilence) return;
  told_ = true;
  ReportCondition(
      events_, Severity::kWarning, condition_,
      where_ + ": no register has answered for " +
          std::to_string(
              std::chrono::duration_cast<std::chrono::seconds>(now - last_answer_).count()) +
          " s: is the line connected and are the registers on?");
}

}  // namespace tillgate
