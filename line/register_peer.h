#pragma once
// Registers on the far side of a pseudo-terminal, for tests: a thread reads
// what the server sends, logs every start command and poll byte, and lets the
// registers chosen as answering reply with a short message frame.

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "serial/pty_pair.h"

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
  // "start 2", "poll 5", "frame 3 <code>" for other frames, in arrival order.
  std::vector<std::string> Served();
  void ClearServed();

 private:
  void Run();
  void Handle(std::vector<uint8_t>& pending);
  void Answer(uint8_t network_number);

  PtyPair pty_;
  std::mutex mutex_;
  std::set<int> answering_;
  std::vector<std::string> served_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tillgate
