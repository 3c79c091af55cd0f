#pragma once
// The registers of one line behind one port: reads what the server sends,
// hands polls and answers to the addressed register and writes its replies.

#include <atomic>
#include <memory>
#include <ostream>
#include <vector>

#include "platform/sim_port.h"
#include "tools/regsim/message.h"
#include "tools/regsim/server_frame.h"
#include "tools/regsim/sim_register.h"

namespace tillgate::regsim {

class LineSimulator {
 public:
  LineSimulator(const Scenario& scenario, const SimOptions& options, std::ostream& log);

  // Serves the line until every script is done (not with --loop or
  // --forever), `stop` becomes true, the time limit passes or the port fails.
  // Prints the closing "done ..." line. Returns 0 when the run was clean,
  // 1 on any malformed frame, missing or wrong answer, time limit or port
  // failure.
  int Run(SimPort& port, const std::atomic<bool>& stop);

  const Tally& tally() const { return tally_; }
  // True once every script has been done (also with --loop or --forever,
  // where the run goes on); may be asked from another thread.
  bool Finished() const { return finished_.load(); }
  // With keep_wire: every byte read from and written to the port, in order.
  // Read them after Run has returned.
  const std::vector<uint8_t>& WireIn() const { return wire_in_; }
  const std::vector<uint8_t>& WireOut() const { return wire_out_; }

 private:
  struct Delayed {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
  };

  void Handle(const ServerEvent& event, SimPort& port, Clock::time_point now);
  SimRegister* Find(uint8_t net);
  bool AllDone() const;
  void Send(SimPort& port, const std::vector<uint8_t>& bytes);
  // Writes the late frames that are due and the registers' junk.
  void SendDue(SimPort& port, Clock::time_point now);
  // How long the next read may wait without keeping a late frame waiting.
  std::chrono::milliseconds ReadWait(Clock::time_point now) const;

  SimOptions options_;
  std::ostream& log_;
  Tally tally_;
  std::vector<std::unique_ptr<SimRegister>> registers_;
  ServerFrameReader reader_;
  bool port_failed_ = false;
  std::vector<Delayed> delayed_;
  std::atomic<bool> finished_{false};
  std::vector<uint8_t> wire_in_;
  std::vector<uint8_t> wire_out_;
};

}  // namespace tillgate::regsim
