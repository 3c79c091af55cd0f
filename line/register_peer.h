#pragma once
// Registers on the far side of a pseudo-terminal, for tests and benchmarks: a
// thread reads what the server sends, logs every start command and poll byte
// with the time it came, and lets the registers chosen as answering reply
// with a short message frame. A pseudo-terminal carries bytes at once; with
// a line speed set, the peer takes each byte as arriving, and sends each of
// its own, as long after the one before as it would take on a serial line.

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/pty_pair.h"

namespace tillgate {

class RegisterPeer {
 public:
  RegisterPeer();
  ~RegisterPeer();
  RegisterPeer(const RegisterPeer&) = delete;
  RegisterPeer& operator=(const RegisterPeer&) = delete;

  bool ok() const { return pty_.ok(); }
  const std::string& DevicePath() const { return pty_.SlavePath(); }

  // Network numbers that answer from now on.
  void SetAnswering(std::set<int> network_numbers);
  // The type letter of the frame they answer with: 'x' (no message the
  // server knows, so it answers "u") until set, 'f' for "nothing to say".
  void SetReply(char type);
  // Bits per second of the serial line to be played (8N1: ten bits a
  // byte); 0, the default, for none. Set before the server starts.
  void SetLineSpeed(uint32_t bits_per_second);
  // When each poll byte to `network_number` arrived, in order.
  std::vector<std::chrono::steady_clock::time_point> PollTimes(int network_number);
  // "start 2", "poll 5", "frame 3 <code>" for other frames, in arrival order.
  std::vector<std::string> Served();
  void ClearServed();

 private:
  void Run();
  void Handle(std::vector<uint8_t>& pending);
  void Answer(uint8_t network_number);
  // The time `count` bytes take on the line played.
  std::chrono::nanoseconds WireTime(size_t count) const;

  PtyPair pty_;
  std::mutex mutex_;
  std::set<int> answering_;
  char reply_ = 'x';
  std::atomic<uint32_t> bits_per_second_{0};
  std::vector<std::string> served_;
  std::map<int, std::vector<std::chrono::steady_clock::time_point>> polled_at_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tillgate
