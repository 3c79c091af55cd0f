#pragma once
// The register simulator's end of a serial line: a pseudo-terminal it makes
// for the server to open, or a device it is given (one end of a null-modem
// pair). Plain reads and writes; tests use fakes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace tillgate {

class SimPort {
 public:
  virtual ~SimPort() = default;

  // Waits up to `timeout` for bytes, then reads what is there, at most
  // `capacity`. Ok with *got 0 (nothing arrived in time) or more. A failure
  // says why; the line is then unusable.
  virtual Status Read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout,
                      size_t* got) = 0;

  // Writes all `size` bytes. A failure says why (bytes may have gone out).
  virtual Status Write(const uint8_t* bytes, size_t size) = 0;
};

// Makes a pseudo-terminal in raw mode and keeps its device side open, so
// that the line survives the server closing and reopening it. On success
// `device_path` names the device the server is to open; on failure null,
// with *status saying why (kNotSupported where the system has none).
std::unique_ptr<SimPort> CreatePseudoTerminal(std::string* device_path, Status* status);

// Opens an existing device (a serial port or a pseudo-terminal); a terminal
// is set to raw 9600 8N1. Null, with *status saying why, on failure.
std::unique_ptr<SimPort> OpenSimPort(const std::string& path, Status* status);

}  // namespace tillgate
