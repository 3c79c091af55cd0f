#pragma once
// A serial device for tests: records every call, answers reads from a script
// and fails the operations a test chooses.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/serial_device.h"

namespace tillgate {

class FakeSerialDevice final : public SerialDevice {
 public:
  enum class Op {
    kOpen,
    kClose,
    kGetLineSettings,
    kSetLineSettings,
    kRead,  // Read and ReadUntil
    kFlushInput,
    kWrite,
    kSetDtr,
    kClearErrors
  };

  // Every later call of `op` fails with `result` (until Succeed(op)).
  void Fail(Op op, Status result) { failures_[op] = std::move(result); }
  void Succeed(Op op) { failures_.erase(op); }

  // Each Read takes up to its count from the front chunk; what is left of the
  // chunk answers the next Read. No chunk: the read times out with 0.
  void QueueRead(std::vector<uint8_t> chunk) { reads_.push_back(std::move(chunk)); }
  // Bytes already waiting on the line: FlushInput discards them; a read
  // before any flush takes them first.
  void QueueWaiting(std::vector<uint8_t> bytes) {
    waiting_.insert(waiting_.end(), bytes.begin(), bytes.end());
  }
  // Runs at the start of every Read with its count, on the reading thread,
  // before the queue is looked at: it may block, or queue what the read is
  // to get. The device is not thread-safe; a test that reads from another
  // thread uses this instead of QueueRead.
  void SetReadHook(std::function<void(size_t count)> hook) { read_hook_ = std::move(hook); }

  // "open <path>", "close", "get", "set", "read <n>", "read <n> until"
  // (ReadUntil), "flush", "write <hex bytes>", "dtr 1" / "dtr 0", "clear".
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  const std::vector<uint8_t>& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }
  const LineSettings& Line() const { return line_; }
  // Settings the device reports before anyone sets them.
  void SetReportedLine(const LineSettings& line) { line_ = line; }

  Status Open(const std::string& path) override;
  Status Close() override;
  bool IsOpen() const override { return open_; }
  Status GetLineSettings(LineSettings* settings) override;
  Status SetLineSettings(const LineSettings& settings) override;
  Status Read(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got) override;
  Status ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts,
                   const ReadTarget& target, size_t* got) override;
  Status FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) override;
  Status Write(const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
               size_t* written) override;
  Status SetDtr(bool raise) override;
  Status ClearErrors() override;

 private:
  // The chosen failure of `op`, or kNotOpen for device calls without a device.
  bool Failing(Op op, Status* result) const;
  // The bytes the next read takes from: what is waiting, else the front
  // chunk; null when there are none.
  std::vector<uint8_t>* Source();
  Status Take(uint8_t* buffer, size_t count, const ReadTarget& target, size_t* got);

  bool open_ = false;
  LineSettings line_{0, 7, Parity::kEven, 2, true, true, false, false};
  std::map<Op, Status> failures_;
  std::deque<std::vector<uint8_t>> reads_;
  std::vector<uint8_t> waiting_;
  std::function<void(size_t)> read_hook_;
  std::vector<std::string> calls_;
  std::vector<uint8_t> written_;
};

}  // namespace tillgate
