#include "tools/regsim/sim_register.h"

#include <chrono>

#include "platform/local_time.h"
#include "tools/regsim/exchange_log.h"
#include "tools/regsim/register_frame.h"

namespace tillgate::regsim {

SimRegister::SimRegister(RegisterScript script, const SimOptions& options, std::ostream& log,
                         Tally& tally)
    : script_(std::move(script)),
      options_(options),
      log_(log),
      tally_(tally),
      next_document_(options.first_document) {
  for (size_t i = 0; i < script_.steps.size(); ++i) {
    if (script_.steps[i].kind == StepKind::kLoopStart) loop_from_ = i + 1;
  }
}

void SimRegister::Print(const std::string& text) const {
  log_ << "net=" << int{script_.net} << ' ' << text << std::endl;
}

bool SimRegister::LoopUseful() const {
  // Restarting a part without messages or waits would spin without end.
  for (size_t i = loop_from_; i < script_.steps.size(); ++i) {
    const Step& s = script_.steps[i];
    if (s.kind == StepKind::kSend || s.kind == StepKind::kRepeat) return true;
    if (s.kind == StepKind::kWait && s.wait.count() > 0) return true;
  }
  return false;
}

bool SimRegister::Done() const {
  if (outstanding_ || resend_) return false;
  if (next_ < script_.steps.size()) return false;
  return !(options_.loop && LoopUseful());
}

void SimRegister::GiveUp(const char* why) {
  const Outstanding& o = *outstanding_;
  // A raw frame carries whatever sequence byte its author wrote.
  const std::string to = o.message.kind == MessageKind::kRaw
                             ? std::string("raw")
                             : std::string(1, o.message.type) + " seq=" + std::to_string(o.seq);
  if (o.message.expect == Expect::kNone) {
    Print("no-answer to=" + to + " expected");
  } else if (options_.resend && o.idle) {
    // Nothing to say went without its answer (the server was stopped or
    // restarted in the exchange): the next poll simply asks again, as a real
    // register would have it. Nothing is lost, so nothing is counted.
    if (options_.verbose) Print("no-answer to=" + to + " reason=" + why + " idle");
  } else if (options_.resend && o.message.kind != MessageKind::kRaw) {
    Print("no-answer to=" + to + " reason=" + why + " resend");
    resend_ = o;
  } else {
    ++tally_.unanswered;
    Print("no-answer to=" + to + " reason=" + why);
  }
  outstanding_.reset();
}

void SimRegister::Advance(Clock::time_point now) {
  if (outstanding_) {
    if (now - outstanding_->sent_at < options_.answer_timeout) return;
    GiveUp("timeout");
  }
  for (;;) {
    if (next_ >= script_.steps.size()) {
      if (!options_.loop || !LoopUseful()) return;
      next_ = loop_from_;
    }
    const Step& step = script_.steps[next_];
    switch (step.kind) {
      case StepKind::kSend:
      case StepKind::kRepeat:
        return;  // sent when polled
      case StepKind::kWait:
        if (!wait_until_) wait_until_ = now + step.wait;
        if (now < *wait_until_) return;
        wait_until_.reset();
        break;
      case StepKind::kOff:
        on_ = false;
        Print("off");
        break;
      case StepKind::kOn:
        on_ = true;
        Print("on");
        break;
      case StepKind::kLoopStart:
        break;
      case StepKind::kJunk:
        junk_.insert(junk_.end(), step.message.raw.begin(), step.message.raw.end());
        Print("sent junk bytes=" + HexText(step.message.raw));
        break;
    }
    ++next_;
  }
}

std::vector<uint8_t> SimRegister::TakeJunk() {
  std::vector<uint8_t> taken;
  taken.swap(junk_);
  return taken;
}

uint8_t SimRegister::NextSeq(const Message& m) {
  if (m.seq) {
    seq_ = *m.seq;
  } else {
    // 0xFF is what the server holds after a document; never send it by itself.
    seq_ = static_cast<uint8_t>(seq_ == 0xFE ? 0 : seq_ + 1);
  }
  return seq_;
}

// Fills what the scenario left to the moment of sending.
void SimRegister::Complete(Message* m) {
  if (m->kind != MessageKind::kDocument) return;
  if (m->document) {
    next_document_ = *m->document + 1;
  } else {
    m->document = next_document_++;
  }
  const CivilTime local = LocalTime(std::chrono::system_clock::now());
  if (!m->day) m->day = static_cast<uint8_t>(local.day);
  if (!m->month) m->month = static_cast<uint8_t>(local.month);
  if (!m->hour) m->hour = static_cast<uint8_t>(local.hour);
  if (!m->minute) m->minute = static_cast<uint8_t>(local.minute);
}

std::vector<uint8_t> SimRegister::Send(const Message& m, uint8_t seq, bool idle,
                                       Clock::time_point now, const char* note) {
  std::vector<uint8_t> frame = BuildFrame(script_.net, seq, m);
  reply_delay_ = m.late;
  outstanding_ = Outstanding{m, seq, idle, now};
  if (!idle) {
    ++tally_.sent;
    Print(DescribeSent(m, seq, frame) + note);
  } else if (options_.verbose) {
    Print(DescribeSent(m, seq, frame) + " idle");
  }
  return frame;
}

std::vector<uint8_t> SimRegister::OnPoll(Clock::time_point now, bool start) {
  if (start) {
    Print("got command a");
  } else if (options_.verbose) {
    Print("polled");
  }
  // The server answers within the exchange it polled for; a new poll means
  // the message was not taken.
  if (outstanding_) GiveUp("polled again");
  Advance(now);
  if (!on_) return {};
  if (resend_) {
    const Outstanding again = *resend_;
    resend_.reset();
    return Send(again.message, again.seq, false, now, " resend");
  }

  if (next_ < script_.steps.size()) {
    const Step& step = script_.steps[next_];
    if (step.kind == StepKind::kSend) {
      ++next_;
      Message m = step.message;
      Complete(&m);
      const uint8_t seq = m.kind == MessageKind::kRaw ? seq_ : NextSeq(m);
      std::vector<uint8_t> frame = Send(m, seq, false, now, "");
      if (m.kind == MessageKind::kByCode || m.kind == MessageKind::kByBarcode) {
        last_goods_ = outstanding_;
      }
      return frame;
    }
    if (step.kind == StepKind::kRepeat) {
      ++next_;
      if (last_goods_) return Send(last_goods_->message, last_goods_->seq, false, now, " repeat");
      Print("nothing to repeat");  // the parser normally rules this out
    }
  }
  Message nothing;  // "f": answered "+" and changes nothing on the server
  return Send(nothing, seq_, true, now, "");
}

void SimRegister::OnAnswer(const ServerEvent& answer) {
  const std::string got = AnswerName(answer);
  if (!outstanding_) {
    ++tally_.mismatched;
    Print(DescribeAnswer(answer) + " unsolicited");
    return;
  }
  const Outstanding o = *outstanding_;
  outstanding_.reset();
  if (!o.idle) ++tally_.answers;
  if (!o.idle || options_.verbose) Print(DescribeAnswer(answer));

  std::string want;
  if (o.idle) {
    want = "+";
  } else if (o.message.expect == Expect::kNone) {
    want = "none";
  } else if (o.message.expect == Expect::kGoods) {
    want = "goods";
  } else if (o.message.expect == Expect::kCommand) {
    want = std::string(1, o.message.expect_command);
  }
  if (!want.empty() && want != got) {
    ++tally_.mismatched;
    Print("mismatch seq=" + std::to_string(o.seq) + " want=" + want + " got=" + got);
  }
}

}  // namespace tillgate::regsim
