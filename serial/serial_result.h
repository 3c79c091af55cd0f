#pragma once
// The outcome of one serial device operation. Failures are values, never
// exceptions: the polling path carries on regardless and relies on the next
// answer or the next tick.

#include <string>

namespace tillgate {

enum class SerialCode {
  kOk,
  kNotOpen,       // no device is held (never opened, or closed after a failure)
  kBusy,          // another program holds the device
  kNotSupported,  // the device has no such control (DTR on a pseudo-terminal)
  kHangUp,        // the line hung up: the device went away or the far end closed
  kFailed,        // any other system failure
};

struct SerialResult {
  SerialCode code = SerialCode::kOk;
  int system_error = 0;  // errno when the system refused, else 0
  std::string message;   // readable reason, empty when ok

  bool ok() const { return code == SerialCode::kOk; }
  static SerialResult Ok() { return {}; }
  static SerialResult Make(SerialCode code, std::string message) {
    return {code, 0, std::move(message)};
  }
};

// The result of a failed system call: `operation` names the call, `error` is
// its errno. EBUSY/EWOULDBLOCK become kBusy, ENOTTY/EINVAL stay kFailed (only
// the modem-control path reads them as "not supported").
SerialResult ResultFromErrno(int error, const char* operation);

}  // namespace tillgate
