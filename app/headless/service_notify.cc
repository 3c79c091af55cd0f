#include "app/headless/service_notify.h"

#include <systemd/sd-daemon.h>

#include <string>

namespace tillgate {
namespace {

void Notify(const std::string& state) { sd_notify(0, state.c_str()); }

// The status is one line of the notification's text.
std::string StatusLine(std::string_view status) {
  std::string line(status);
  for (char& c : line)
    if (c == '\n') c = ' ';
  return "STATUS=" + line;
}

}  // namespace

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

void NotifyReady(std::string_view status) { Notify("READY=1\n" + StatusLine(status)); }

void NotifyStatus(std::string_view status) { Notify(StatusLine(status)); }

void NotifyStopping() { Notify("STOPPING=1\nSTATUS=stopping"); }

}  // namespace tillgate
