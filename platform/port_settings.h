#pragma once
// The fixed line settings every register model expects: 9600 baud, 8 data
// bits, no parity, one stop bit, no flow control, DTR enabled, RTS raised by
// the driver while sending; read and write time-outs in milliseconds.

#include <cstdint>

namespace tillgate {

enum class Parity : uint8_t { kNone, kOdd, kEven };

struct LineSettings {
  uint32_t baud_rate = 9600;
  uint8_t data_bits = 8;
  Parity parity = Parity::kNone;
  uint8_t stop_bits = 1;
  bool hardware_flow = false;  // CTS/RTS handshake
  bool software_flow = false;  // XON/XOFF
  bool dtr_enable = true;      // DTR up while the port is open
  bool rts_toggle = true;      // RTS up while bytes are being sent
  bool operator==(const LineSettings&) const = default;
};

// A read of N bytes ends when N bytes are in, when total_multiplier*N +
// total_constant ms have passed since the call, or when `interval` ms pass
// after a received byte without another.
struct ReadTimeouts {
  uint32_t interval_ms = 100;
  uint32_t total_multiplier_ms = 4;
  uint32_t total_constant_ms = 4;
  bool operator==(const ReadTimeouts&) const = default;
};

// A write of N bytes may take total_multiplier*N + total_constant ms.
struct WriteTimeouts {
  uint32_t total_multiplier_ms = 2;
  uint32_t total_constant_ms = 3;
  bool operator==(const WriteTimeouts&) const = default;
};

struct PortTimeouts {
  ReadTimeouts read;
  WriteTimeouts write;
  bool operator==(const PortTimeouts&) const = default;
};

// What TCommPort gives every device; the defaults above are the line's
// settings.
struct PortSettings {
  LineSettings line;
  PortTimeouts timeouts;
};

// Milliseconds a read or write of `count` bytes may take at most.
inline uint64_t TotalReadMs(const ReadTimeouts& t, uint64_t count) {
  return t.total_multiplier_ms * count + t.total_constant_ms;
}
inline uint64_t TotalWriteMs(const WriteTimeouts& t, uint64_t count) {
  return t.total_multiplier_ms * count + t.total_constant_ms;
}

}  // namespace tillgate
