#include "app/headless/service_status.h"

namespace tillgate {

std::string ServiceStatusText(const StatusSnapshot& snapshot) {
  std::string open;
  std::string failing;
  std::string failed;
  std::string closed;
  for (const PortStatus& port : snapshot.ports) {
    std::string* list = nullptr;
    switch (port.health) {
      case PortHealth::kOpen:
        list = &open;
        break;
      case PortHealth::kFailing:
        open += (open.empty() ? "" : ", ") + port.name;
        list = &failing;
        break;
      case PortHealth::kOpenFailed:
        list = &failed;
        break;
      case PortHealth::kClosed:
        list = &closed;
        break;
      case PortHealth::kNone:
        continue;
    }
    *list += (list->empty() ? "" : ", ") + port.name;
  }
  std::string text = open.empty() ? "running, no line" : "running, lines " + open;
  if (!failing.empty()) text += "; transfers failing: " + failing;
  if (!failed.empty()) text += "; port failed to open: " + failed;
  if (!closed.empty()) text += "; port closed: " + closed;
  return text;
}

}  // namespace tillgate
