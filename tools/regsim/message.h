#pragma once
// What a simulated register can be told to do: the messages it sends and the
// steps of its script (waits, switching off and on).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tillgate::regsim {

enum class MessageKind {
  kIdentify,   // "d"
  kByCode,     // "p", "q", "l"
  kByBarcode,  // "s", "z", "k"
  kDocument,   // "i"
  kNothing,    // "f"
  kRaw,        // bytes given as they are
};

// The answer a scenario expects for one message. kAny accepts every
// well-formed answer.
enum class Expect { kAny, kNone, kGoods, kCommand };

struct Message {
  MessageKind kind = MessageKind::kNothing;
  char type = 'f';                                  // message type letter; 0 for raw frames
  std::optional<uint8_t> seq;                       // explicit sequence byte; automatic when empty
  std::string serial;                               // "d": 7 characters
  uint8_t year = 0;                                 // "d": year within the century, 0..99
  uint16_t code = 0;                                // "p", "q", "l"
  std::string barcode;                              // "s", "z", "k": 1..14 digits
  uint32_t quantity = 0;                            // thousandths as on the wire; 0 stands for 1
  std::optional<uint32_t> document;                 // "i": automatic (rising) when empty
  std::optional<uint8_t> day, month, hour, minute;  // "i": now when empty
  std::vector<uint8_t> raw;                         // raw frame bytes
  Expect expect = Expect::kAny;
  char expect_command = 0;  // with kCommand: the command letter expected
  // Faults a register may show, for testing the server against them:
  std::chrono::milliseconds late{0};  // late=: sent this long after the poll
  std::optional<uint8_t> from;        // from=N: byte 0 names register N
  bool bad_sum = false;               // sum=bad: the checksum is one off
};

enum class StepKind {
  kSend,       // send the message when polled
  kRepeat,     // send the previous goods message again with its sequence byte
  kWait,       // let time pass (the register answers "nothing to say")
  kOff,        // stop answering
  kOn,         // answer again
  kLoopStart,  // with --loop, the script repeats from here
  kJunk,       // send the message's raw bytes at once, unasked
};

struct Step {
  StepKind kind = StepKind::kSend;
  Message message;
  std::chrono::milliseconds wait{0};
  int line = 0;  // where the step was written, for messages
};

struct RegisterScript {
  uint8_t net = 0;  // 1..10
  std::vector<Step> steps;
};

struct Scenario {
  std::vector<RegisterScript> registers;  // in order of first mention
};

}  // namespace tillgate::regsim
