#pragma once
// A pseudo-terminal for tests: the port under test opens the slave path, the
// test plays the register on the master side. The slave starts raw, so bytes
// pass unchanged even before the port configures it.

#include <cstdint>
#include <string>
#include <vector>

namespace tillgate {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& SlavePath() const { return slave_path_; }
  int MasterFd() const { return master_; }

  // Bytes to the port; true when all were written.
  bool Send(const std::vector<uint8_t>& bytes);
  // What the port wrote: waits up to `timeout_ms` for `count` bytes and
  // returns those that came.
  std::vector<uint8_t> Receive(size_t count, int timeout_ms);
  // Everything the port wrote that is waiting now.
  std::vector<uint8_t> Drain();
  // True when the port wrote bytes that are waiting, within `timeout_ms`.
  // While no port has the device open, false after a short pause.
  bool WaitReadable(int timeout_ms);

 private:
  int master_ = -1;
  std::string slave_path_;
};

}  // namespace tillgate
