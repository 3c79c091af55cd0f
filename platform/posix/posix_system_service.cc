// systemd starts services as plain programs: nothing to dispatch, and the
// unit is installed with the package.

#include "platform/system_service.h"

namespace tillgate {
namespace {

Status PlainPrograms() {
  return Status(Status::kNotSupported, "services run as plain programs here");
}

Status UnitFromPackage() {
  return Status(Status::kNotSupported,
                "the systemd unit comes with the package (systemctl enable --now tillgate)");
}

}  // namespace

Status RunSystemService(const std::string&, const ServiceBody&, int*) { return PlainPrograms(); }

Status InstallSystemService(const ServiceDefinition&) { return UnitFromPackage(); }

Status StartSystemService(const std::string&) { return UnitFromPackage(); }

Status RemoveSystemService(const std::string&, int) { return UnitFromPackage(); }

}  // namespace tillgate
