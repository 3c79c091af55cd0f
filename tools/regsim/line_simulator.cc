#include "tools/regsim/line_simulator.h"

#include <cstring>

#include "tools/regsim/exchange_log.h"

namespace tillgate::regsim {

LineSimulator::LineSimulator(const Scenario& scenario, const SimOptions& options, std::ostream& log)
    : options_(options), log_(log) {
  for (const RegisterScript& script : scenario.registers) {
    registers_.push_back(std::make_unique<SimRegister>(script, options_, log_, tally_));
  }
}

SimRegister* LineSimulator::Find(uint8_t net) {
  for (auto& reg : registers_) {
    if (reg->net() == net) return reg.get();
  }
  return nullptr;
}

bool LineSimulator::AllDone() const {
  for (const auto& reg : registers_) {
    if (!reg->Done()) return false;
  }
  return true;
}

void LineSimulator::Handle(const ServerEvent& e, SimPort& port, Clock::time_point now) {
  if (e.kind == ServerEvent::Kind::kMalformed) {
    ++tally_.malformed;
    log_ << "malformed net=" << int{e.net} << " reason=" << Quoted(e.reason)
         << " bytes=" << HexText(e.bytes) << std::endl;
    return;
  }
  SimRegister* reg = Find(e.net);
  if (reg == nullptr) {
    if (options_.verbose) log_ << "net=" << int{e.net} << " not simulated" << std::endl;
    return;
  }
  const bool start = e.kind == ServerEvent::Kind::kCommand && e.command == 'a';
  if (e.kind == ServerEvent::Kind::kPoll || start) {
    std::vector<uint8_t> frame = reg->OnPoll(now, start);
    if (frame.empty()) return;
    IoResult r = port.Write(frame.data(), frame.size());
    if (!r.ok) {
      log_ << "error write: " << std::strerror(r.error) << std::endl;
      port_failed_ = true;
    }
    return;
  }
  reg->OnAnswer(e);
}

int LineSimulator::Run(SimPort& port, const std::atomic<bool>& stop) {
  const Clock::time_point began = Clock::now();
  bool out_of_time = false;
  std::vector<ServerEvent> events;
  uint8_t buffer[256];
  while (!stop.load() && !port_failed_) {
    Clock::time_point now = Clock::now();
    for (auto& reg : registers_) reg->Advance(now);
    events.clear();
    reader_.Expire(now, &events);
    for (const ServerEvent& e : events) Handle(e, port, now);
    if (!options_.loop && !options_.forever && AllDone()) break;
    if (options_.max_time.count() > 0 && now - began >= options_.max_time) {
      out_of_time = true;
      log_ << "error time limit reached before the scenario was done" << std::endl;
      break;
    }
    IoResult r = port.Read(buffer, sizeof buffer, std::chrono::milliseconds(10));
    if (!r.ok) {
      log_ << "error read: " << std::strerror(r.error) << std::endl;
      port_failed_ = true;
      break;
    }
    events.clear();
    now = Clock::now();
    reader_.Feed(buffer, r.count, now, &events);
    for (const ServerEvent& e : events) Handle(e, port, now);
  }
  log_ << "done sent=" << tally_.sent << " answers=" << tally_.answers
       << " malformed=" << tally_.malformed << " unanswered=" << tally_.unanswered
       << " mismatched=" << tally_.mismatched << std::endl;
  return tally_.Clean() && !out_of_time && !port_failed_ ? 0 : 1;
}

}  // namespace tillgate::regsim
