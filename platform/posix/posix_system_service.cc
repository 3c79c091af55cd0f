// systemd starts services as plain programs: nothing to dispatch.

#include "platform/system_service.h"

namespace tillgate {

Status RunSystemService(const std::string&, const ServiceBody&, int*) {
  return Status(Status::kNotSupported, "services run as plain programs here");
}

}  // namespace tillgate
