#pragma once
// Reads and writes on a non-blocking descriptor bounded by the port's
// time-outs, timed on CLOCK_MONOTONIC deadlines. Interrupted waits are
// retried against the same deadlines.

#include <cstddef>
#include <cstdint>

#include "platform/port_settings.h"
#include "platform/posix/posix_status.h"
#include "platform/serial_device.h"
#include "platform/status.h"

namespace tillgate {

// Returns when `count` bytes are in, when the total deadline (from the call)
// passes, or when the interval passes after a received byte without another.
// A time-out is ok with a short *got. A device error or hang-up (kHangUp)
// ends the read with a failure; *got still holds what arrived. With a
// `target`, the read also ends once the target is met and never reads
// beyond it.
Status TimedRead(int fd, uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got,
                 const ReadTarget& target = {});

// The result of a transfer call that failed with `error`: kHangUp when the
// device went away or the far end closed (ENXIO, ENODEV, or EIO while the
// line reports a hang-up), else an ordinary failure naming `operation`.
Status TransferFailure(int fd, int error, const char* operation);

// Writes all `count` bytes unless the total write deadline passes first, then
// waits (within the same deadline) until the device's output queue is empty,
// so that a modem-line change right after it does not cut the last byte. A
// line that has hung up fails with kHangUp.
Status TimedWrite(int fd, const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
                  size_t* written);

}  // namespace tillgate
