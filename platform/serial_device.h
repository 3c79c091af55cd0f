#pragma once
// The serial device under TCommPort, kept small so that tests can replace it
// with a fake that records calls or fails chosen operations. One object holds
// at most one device at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/port_settings.h"
#include "platform/status.h"

namespace tillgate {

// How many bytes a read needs in all, given the `got` bytes already in
// `bytes`. It returns more than `got` until the bytes make a whole; a read
// given one ends as soon as that many are in.
using ReadTarget = std::function<size_t(const uint8_t* bytes, size_t got)>;

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens `path` for reading and writing, held exclusively. Ok: the device is
  // held by this object and a second opener (here or in another program)
  // fails. Failure (missing, kBusy when held elsewhere, denied): nothing is
  // held.
  virtual Status Open(const std::string& path) = 0;

  // Releases the device. It is released even when the result is a failure,
  // and no later call touches the old descriptor. kNotOpen when none is held.
  virtual Status Close() = 0;

  virtual bool IsOpen() const = 0;

  // Ok: *settings holds the device's current line settings. Failure
  // (kNotOpen, or not a serial device): *settings is unchanged.
  virtual Status GetLineSettings(LineSettings* settings) = 0;

  // Ok: the device runs with `settings` (raw bytes, no echo, no character
  // translation). Failure: the device may keep its old settings.
  virtual Status SetLineSettings(const LineSettings& settings) = 0;

  // Reads up to `count` bytes into `buffer` and ends by `timeouts`. Ok with
  // *got = 0..count: a time-out is a short count, not a failure. Failure
  // (kNotOpen; kHangUp when the line hung up; another device error): *got
  // holds the bytes that arrived before it.
  virtual Status Read(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got) = 0;

  // As Read, but never reads beyond what `target` asks for, and ends as soon
  // as it is satisfied.
  virtual Status ReadUntil(uint8_t* buffer, size_t count, const ReadTimeouts& timeouts,
                           const ReadTarget& target, size_t* got) = 0;

  // Discards every byte received and not yet read. Up to `capacity` of them
  // are first copied to `kept` (*kept_count says how many), so that they
  // can be shown; the rest are dropped unseen. kNotOpen when none is held.
  virtual Status FlushInput(uint8_t* kept, size_t capacity, size_t* kept_count) = 0;

  // Writes `count` bytes and waits, within `timeouts`, until they have left.
  // Ok with *written = count, or a short count after the time-out. Failure
  // (kHangUp as for Read): *written holds what was accepted before it.
  virtual Status Write(const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
                       size_t* written) = 0;

  // Raises (true) or lowers DTR. kNotSupported when the device has no modem
  // lines (a pseudo-terminal); kNotOpen when none is held.
  virtual Status SetDtr(bool raise) = 0;

  // Clears the device's error state so the next call can proceed. Ok when a
  // device is held; kNotOpen otherwise.
  virtual Status ClearErrors() = 0;
};

}  // namespace tillgate
