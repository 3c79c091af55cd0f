#include "platform/posix/posix_status.h"

#include <cerrno>
#include <cstring>

namespace tillgate {
namespace {

Status::Code CodeOf(int err) {
  switch (err) {
    case 0:
      return Status::kOk;
    case ENOENT:
    case ENOTDIR:
      return Status::kNotFound;
    case EEXIST:
    case ENOTEMPTY:
      return Status::kExists;
    case EAGAIN:  // F_SETLK refused, or a non-blocking flock: another program holds it
    case EBUSY:
      return Status::kBusy;
    case ENOSPC:
    case EDQUOT:
      return Status::kNoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
      return Status::kDenied;
    default:
      return Status::kError;
  }
}

}  // namespace

Status StatusFromErrno(int err) {
  const Status::Code code = CodeOf(err);
  if (code == Status::kOk) return Status::Ok();
  return Status(code, std::strerror(err), err);
}

Status StatusFromErrno(int err, const char* operation) {
  Status status = StatusFromErrno(err);
  if (!status.ok()) status.Within(operation);
  return status;
}

}  // namespace tillgate
