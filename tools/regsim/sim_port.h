#pragma once
// The simulator's end of a serial line. One POSIX implementation serves both
// a pseudo-terminal it creates and a device it is given; tests use fakes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tillgate::regsim {

struct IoResult {
  bool ok = false;
  size_t count = 0;  // bytes transferred when ok
  int error = 0;     // errno when not ok
};

// A failed call's errno as a result.
IoResult ErrnoResult(int error);

class SimPort {
 public:
  virtual ~SimPort() = default;

  // Waits up to `timeout` for bytes, then reads what is there, at most
  // `capacity`. Success: ok with count 0 (nothing arrived in time) or more.
  // Failure: not ok, `error` says why; the line is then unusable.
  virtual IoResult Read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) = 0;

  // Writes all `size` bytes. Success: ok with count == size. Failure: not ok
  // with the errno of the call that failed (bytes may have gone out).
  virtual IoResult Write(const uint8_t* bytes, size_t size) = 0;
};

// Creates a pseudo-terminal in raw mode and keeps its slave side open, so
// that the line survives the server closing and reopening it. On success
// `slave_path` names the device the server is to open; on failure returns
// null with `error` set.
std::unique_ptr<SimPort> CreatePseudoTerminal(std::string* slave_path, std::string* error);

// Opens an existing device (a serial port or a pseudo-terminal); a terminal
// is set to raw 9600 8N1. Null with `error` set on failure.
std::unique_ptr<SimPort> OpenSerialDevice(const std::string& path, std::string* error);

}  // namespace tillgate::regsim
