#include "serial/serial_result.h"

#include <cerrno>
#include <cstring>

namespace tillgate {

SerialResult ResultFromErrno(int error, const char* operation) {
  SerialResult result;
  result.code = (error == EBUSY || error == EWOULDBLOCK) ? SerialCode::kBusy : SerialCode::kFailed;
  result.system_error = error;
  result.message = std::string(operation) + ": " + std::strerror(error);
  return result;
}

}  // namespace tillgate
