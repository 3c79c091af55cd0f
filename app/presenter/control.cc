#include "app/presenter/control.h"

#include "config/port_config.h"

namespace tillgate {
namespace {

constexpr std::string_view kNames[] = {
#define TILLGATE_CONTROL_NAME(name) #name,
    TILLGATE_WINDOW_CONTROLS(TILLGATE_CONTROL_NAME)
#undef TILLGATE_CONTROL_NAME
};
static_assert(std::size(kNames) == kControlCount);

Control Offset(Control first, int port_index) {
  return static_cast<Control>(static_cast<int>(first) + port_index);
}

}  // namespace

std::string_view ControlName(Control control) { return kNames[static_cast<int>(control)]; }

Control RadioButton(int port_index) { return Offset(Control::RadioButton1, port_index); }
Control ConnectBox(int port_index) { return Offset(Control::CheckBox2, port_index); }
Control StartBox(int port_index) { return Offset(Control::CheckBox18, port_index); }

int PortOf(Control control, Control first) {
  const int index = static_cast<int>(control) - static_cast<int>(first);
  return index >= 0 && index < kPortCount ? index : -1;
}

}  // namespace tillgate
