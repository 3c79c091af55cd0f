// Outside a service there is no one to tell: the console server's host does
// nothing. The service's own host is made by RunSystemService.

#include "platform/service_host.h"

namespace tillgate {
namespace {

class NoServiceHost final : public ServiceHost {
 public:
  void Ready(std::string_view) override {}
  void SetStatus(std::string_view) override {}
  void Stopping() override {}
};

}  // namespace

std::unique_ptr<ServiceHost> NewSystemServiceHost() { return std::make_unique<NoServiceHost>(); }

// A Windows service's standard error goes nowhere; its events are written
// to a log of its own.
bool StandardErrorIsServiceLog() { return false; }

}  // namespace tillgate
