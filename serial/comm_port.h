#pragma once
// TCommPort: one serial line with its fixed settings, plain bounded reads and
// writes, and DTR control. Base of the line object TKkmEkr.
//
// State: closed (constructed) -> OpenAndConfigure -> open and configured. A
// failed open or a failed Configure leaves the port closed; from then on
// Read, Write, SetDtr and Configure fail harmlessly (0 or false) and never
// reach the released descriptor. Failures are results, never exceptions.

#include <cstdint>
#include <memory>
#include <string>

#include "serial/port_settings.h"
#include "serial/serial_device.h"
#include "serial/serial_result.h"

namespace tillgate {

class TCommPort {
 public:
  // Uses the POSIX device when `device` is null. Touches no device.
  explicit TCommPort(std::unique_ptr<SerialDevice> device = nullptr);
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

  // Bytes written, 0..count; 0 for a failure or a closed port (then nothing
  // is attempted).
  uint32_t Write(const uint8_t* bytes, uint32_t count);

  // True when DTR was raised or lowered. False on a closed port and where
  // the device has no DTR (a pseudo-terminal).
  bool SetDtr(bool raise);

  bool IsOpen() const { return open_; }
  // Why the latest failing call failed; ok after a success.
  const SerialResult& LastResult() const { return last_result_; }
  const PortSettings& Settings() const { return port_settings_; }
  const LineSettings& DeviceState() const { return device_state_; }
  const PortTimeouts& DeviceTimeouts() const { return device_timeouts_; }
  uint32_t BytesRead() const { return bytes_read_; }
  uint32_t BytesWritten() const { return bytes_written_; }

 private:
  bool Fail(SerialResult result);
  void CloseAfterFailure();

  PortSettings port_settings_;
  LineSettings device_state_;
  PortTimeouts device_timeouts_;
  bool open_ = false;
  uint32_t bytes_written_ = 0;
  uint32_t bytes_read_ = 0;
  SerialResult last_result_;
  std::unique_ptr<SerialDevice> device_;
};

}  // namespace tillgate
