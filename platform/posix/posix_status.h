#pragma once
// The one place where an errno value becomes a Status: its kind, the
// number kept, and the C library's text for it.

#include "platform/status.h"

namespace tillgate {

// ENOENT/ENOTDIR not found, EEXIST/ENOTEMPTY exists, EAGAIN/EBUSY busy,
// ENOSPC/EDQUOT no space, EACCES/EPERM/EROFS denied; 0 is ok.
Status StatusFromErrno(int err);
// The same, said as the failure of `operation` ("open: No such file or
// directory").
Status StatusFromErrno(int err, const char* operation);

}  // namespace tillgate
