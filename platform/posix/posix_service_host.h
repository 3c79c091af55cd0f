#pragma once
// The parts of the POSIX service host that tests reach directly.

#include <memory>
#include <string>

#include "platform/service_host.h"

namespace tillgate {

// A host that sends systemd's notifications itself: each one datagram of
// "NAME=value" lines to the AF_UNIX socket `socket` (a leading '@' names the
// abstract namespace). A socket that is not there costs the notification
// only.
std::unique_ptr<ServiceHost> NewNotifySocketHost(std::string socket);

// True when `journal_stream` ("device:inode", as JOURNAL_STREAM gives it)
// names the file open on `fd`. False for a null or malformed value.
bool StreamIsJournal(int fd, const char* journal_stream);

}  // namespace tillgate
