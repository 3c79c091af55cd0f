#pragma once
// One simulated register: works through its script step by step, answers
// the server's start command and poll byte with its next message (or with a
// short "f" when it has nothing to say, or with silence while off), and
// checks the server's answer to every message it sent.

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "tools/regsim/message.h"
#include "tools/regsim/server_frame.h"

namespace tillgate::regsim {

struct SimOptions {
  std::chrono::milliseconds answer_timeout{3000};
  bool loop = false;       // repeat every script (from its "loop" step) without end
  bool forever = false;    // keep answering after the scenario is done
  bool verbose = false;    // also print polls and the "nothing to say" exchanges
  bool keep_wire = false;  // keep every byte read and written (LineSimulator::Wire*)
  // A message left without an answer goes again at the next poll, with the
  // same sequence byte, until it is answered: what a real register does.
  bool resend = false;
  uint32_t first_document = 1;
  std::chrono::milliseconds max_time{0};  // 0: no limit
};

// Counters of the whole run; any fault makes the exit status non-zero.
struct Tally {
  int sent = 0;
  int answers = 0;  // answers to scenario messages (not to idle "f")
  int malformed = 0;
  int unanswered = 0;
  int mismatched = 0;
  bool Clean() const { return malformed == 0 && unanswered == 0 && mismatched == 0; }
};

class SimRegister {
 public:
  SimRegister(RegisterScript script, const SimOptions& options, std::ostream& log, Tally& tally);

  uint8_t net() const { return script_.net; }
  bool on() const { return on_; }

  // Runs the steps that need no poll (wait, off, on, the loop restart) and
  // gives up on an answer that is overdue.
  void Advance(Clock::time_point now);

  // The server polled this register (`start`: sent it the start command).
  // Returns the frame to send back; empty means silence.
  std::vector<uint8_t> OnPoll(Clock::time_point now, bool start);
  // How long after the poll the frame OnPoll just returned is to go out.
  std::chrono::milliseconds ReplyDelay() const { return reply_delay_; }
  // Bytes the script has the register send unasked ("junk"), taken once.
  std::vector<uint8_t> TakeJunk();

  // A command (other than the start command) or goods answer for this register.
  void OnAnswer(const ServerEvent& answer);

  // The script is finished and no answer is outstanding. Never true with
  // --loop, unless the looped part could not make progress.
  bool Done() const;

 private:
  struct Outstanding {
    Message message;
    uint8_t seq = 0;
    bool idle = false;
    Clock::time_point sent_at;
  };

  void Print(const std::string& text) const;
  void GiveUp(const char* why);
  bool LoopUseful() const;
  uint8_t NextSeq(const Message& m);
  void Complete(Message* m);
  std::vector<uint8_t> Send(const Message& m, uint8_t seq, bool idle, Clock::time_point now,
                            const char* note);

  RegisterScript script_;
  const SimOptions& options_;
  std::ostream& log_;
  Tally& tally_;

  size_t next_ = 0;  // next step of the script
  size_t loop_from_ = 0;
  bool on_ = true;
  std::optional<Clock::time_point> wait_until_;
  std::optional<Outstanding> outstanding_;
  std::optional<Outstanding> resend_;  // with --resend: unanswered, goes again
  uint8_t seq_ = 0;                    // the last sequence byte used
  std::optional<Outstanding> last_goods_;
  uint32_t next_document_;
  std::chrono::milliseconds reply_delay_{0};
  std::vector<uint8_t> junk_;
};

}  // namespace tillgate::regsim
