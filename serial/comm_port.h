#pragma once
// TCommPort: one serial line with its fixed settings, plain bounded reads and
// writes, and DTR control. Base of the line object TKkmEkr.
//
// State: closed (constructed) -> OpenAndConfigure -> open and configured. A
// failed open or a failed Configure leaves the port closed; from then on
// Read, Write, SetDtr and Configure fail harmlessly (0 or false) and never
// reach the released descriptor. A line that hangs up (its device went away,
// or the far end closed) closes the port in the same way. A closed port can
// be opened again with Open. Failures are results, never exceptions.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/port_settings.h"
#include "platform/serial_device.h"
#include "platform/status.h"

namespace tillgate {

class TCommPort {
 public:
  // Works through `device` (the system's, or a test's; not null). Touches
  // no device yet.
  explicit TCommPort(std::unique_ptr<SerialDevice> device);
  virtual ~TCommPort();
  TCommPort(const TCommPort&) = delete;
  TCommPort& operator=(const TCommPort&) = delete;

  // Copies PortSettings into the device state and device time-outs, so the
  // device ends up with exactly the line's settings whatever it had.
  void ApplySettings();

  // Closes a held device first (false if that failed), then opens
  // `device_path` exclusively. False when it cannot be opened.
  bool Open(const std::string& device_path);

  // Reads the device's settings, applies the line's own and gives them back.
  // Any failure closes the port for good and returns false.
  bool Configure();

  // Open, then Configure.
  bool OpenAndConfigure(const std::string& device_path);

  // Bytes read, 0..count; 0 also for a failure or a closed port.
  uint32_t Read(uint8_t* buffer, uint32_t count);
  // As Read, but ends as soon as `target` is met (see ReadTarget) and never
  // reads beyond it.
  uint32_t ReadUntil(uint8_t* buffer, uint32_t count, const ReadTarget& target);

  // Discards the bytes waiting on the line. Up to `capacity` of them are
  // first copied to `kept` (*kept_count says how many) so that they can be
  // shown. False on a closed port or a failure.
  bool FlushInput(uint8_t* kept = nullptr, size_t capacity = 0, size_t* kept_count = nullptr);

  // Bytes written, 0..count; 0 for a failure or a closed port (then nothing
  // is attempted).
  uint32_t Write(const uint8_t* bytes, uint32_t count);

  // True when DTR was raised or lowered. False on a closed port and where
  // the device has no DTR (a pseudo-terminal).
  bool SetDtr(bool raise);

  bool IsOpen() const { return open_; }
  // Why the latest failing call failed; ok after a success.
  const Status& LastResult() const { return last_result_; }
  // The first failure of a Read, ReadUntil, Write or FlushInput since the
  // previous call (a closed port is no failure here); ok when each of them
  // worked. Clears it.
  Status TakeIoFailure();
  const PortSettings& Settings() const { return port_settings_; }
  const LineSettings& DeviceState() const { return device_state_; }
  const PortTimeouts& DeviceTimeouts() const { return device_timeouts_; }
  uint32_t BytesRead() const { return bytes_read_; }
  uint32_t BytesWritten() const { return bytes_written_; }

 private:
  bool Fail(Status result);
  void CloseAfterFailure();
  // A transfer failed: clears the device's error state, keeps the first
  // failure for TakeIoFailure and closes the port on a hang-up.
  void IoFailed(Status result);
  uint32_t Received(Status result, size_t got);

  PortSettings port_settings_;
  LineSettings device_state_;
  PortTimeouts device_timeouts_;
  bool open_ = false;
  uint32_t bytes_written_ = 0;
  uint32_t bytes_read_ = 0;
  Status last_result_;
  Status io_failure_;
  std::unique_ptr<SerialDevice> device_;
};

}  // namespace tillgate
