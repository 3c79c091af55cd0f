#pragma once
// The serial device under TCommPort, kept small so that tests can replace it
// with a fake that records calls or fails chosen operations. One object holds
// at most one device at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/port_settings.h"
#include "serial/serial_result.h"

namespace tillgate {

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens `path` for reading and writing, held exclusively. Ok: the device is
  // held by this object and a second opener (here or in another program)
  // fails. Failure (missing, kBusy when held elsewhere, denied): nothing is
  // held.
  virtual SerialResult Open(const std::string& path) = 0;

  // Releases the device. It is released even when the result is a failure,
  // and no later call touches the old descriptor. kNotOpen when none is held.
  virtual SerialResult Close() = 0;

  virtual bool IsOpen() const = 0;

  // Ok: *settings holds the device's current line settings. Failure
  // (kNotOpen, or not a serial device): *settings is unchanged.
  virtual SerialResult GetLineSettings(LineSettings* settings) = 0;

  // Ok: the device runs with `settings` (raw bytes, no echo, no character
  // translation). Failure: the device may keep its old settings.
  virtual SerialResult SetLineSettings(const LineSettings& settings) = 0;

  // Reads up to `count` bytes into `buffer` and ends by `timeouts`. Ok with
  // *got = 0..count: a time-out is a short count, not a failure. Failure
  // (kNotOpen, device error): *got holds the bytes that arrived before it.
  virtual SerialResult Read(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts,
                            size_t* got) = 0;

  // Writes `count` bytes and waits, within `timeouts`, until they have left.
  // Ok with *written = count, or a short count after the time-out. Failure:
  // *written holds what was accepted before it.
  virtual SerialResult Write(const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
                             size_t* written) = 0;

  // Raises (true) or lowers DTR. kNotSupported when the device has no modem
  // lines (a pseudo-terminal); kNotOpen when none is held.
  virtual SerialResult SetDtr(bool raise) = 0;

  // Clears the device's error state so the next call can proceed. Ok when a
  // device is held; kNotOpen otherwise.
  virtual SerialResult ClearErrors() = 0;
};

// The POSIX termios device.
std::unique_ptr<SerialDevice> NewPosixSerialDevice();

}  // namespace tillgate
