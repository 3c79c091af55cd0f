#include "tools/regsim/line_simulator.h"

#include <algorithm>

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

void LineSimulator::Send(SimPort& port, const std::vector<uint8_t>& bytes) {
  const Status written = port.Write(bytes.data(), bytes.size());
  if (!written.ok()) {
    log_ << "error write: " << written.Reason() << std::endl;
    port_failed_ = true;
    return;
  }
  if (options_.keep_wire) wire_out_.insert(wire_out_.end(), bytes.begin(), bytes.end());
}

void LineSimulator::SendDue(SimPort& port, Clock::time_point now) {
  for (auto& reg : registers_) {
    const std::vector<uint8_t> junk = reg->TakeJunk();
    if (!junk.empty()) Send(port, junk);
  }
  for (auto it = delayed_.begin(); it != delayed_.end();) {
    if (it->due > now) {
      ++it;
      continue;
    }
    Send(port, it->bytes);
    it = delayed_.erase(it);
  }
}

std::chrono::milliseconds LineSimulator::ReadWait(Clock::time_point now) const {
  std::chrono::milliseconds wait(10);
  for (const Delayed& d : delayed_) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(d.due - now);
    if (left < wait) wait = std::max(left, std::chrono::milliseconds(0));
  }
  return wait;
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
    if (reg->ReplyDelay().count() > 0) {
      delayed_.push_back({now + reg->ReplyDelay(), std::move(frame)});
    } else {
      Send(port, frame);
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
    SendDue(port, now);
    events.clear();
    reader_.Expire(now, &events);
    for (const ServerEvent& e : events) Handle(e, port, now);
    const bool done = AllDone() && delayed_.empty();
    if (done) finished_ = true;
    if (!options_.loop && !options_.forever && done) break;
    if (options_.max_time.count() > 0 && now - began >= options_.max_time) {
      out_of_time = true;
      log_ << "error time limit reached before the scenario was done" << std::endl;
      break;
    }
    size_t got = 0;
    const Status read = port.Read(buffer, sizeof buffer, ReadWait(now), &got);
    if (!read.ok()) {
      log_ << "error read: " << read.Reason() << std::endl;
      port_failed_ = true;
      break;
    }
    if (options_.keep_wire) wire_in_.insert(wire_in_.end(), buffer, buffer + got);
    events.clear();
    now = Clock::now();
    reader_.Feed(buffer, got, now, &events);
    for (const ServerEvent& e : events) Handle(e, port, now);
  }
  log_ << "done sent=" << tally_.sent << " answers=" << tally_.answers
       << " malformed=" << tally_.malformed << " unanswered=" << tally_.unanswered
       << " mismatched=" << tally_.mismatched << std::endl;
  return tally_.Clean() && !out_of_time && !port_failed_ ? 0 : 1;
}

}  // namespace tillgate::regsim
