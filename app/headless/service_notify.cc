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

void NotifyReady(std::string_view status) { Notify("READY=1\n" + StatusLine(status)); }

void NotifyStatus(std::string_view status) { Notify(StatusLine(status)); }

void NotifyStopping() { Notify("STOPPING=1\nSTATUS=stopping"); }

}  // namespace tillgate
