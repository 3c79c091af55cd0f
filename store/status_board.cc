#include "store/status_board.h"

namespace tillgate {
namespace {

bool PortIndexValid(int port_index) { return port_index >= 0 && port_index < kPortCount; }

}  // namespace

StatusBoard::StatusBoard() {
  for (int i = 0; i < kPortCount; ++i)
    state_.ports[static_cast<size_t>(i)].name = "COM" + std::to_string(i + 1);
}

RegisterStatus* StatusBoard::Register(int port_index, uint8_t network_number) {
  if (!PortIndexValid(port_index) || network_number < 1 || network_number > kRegistersPerLine)
    return nullptr;
  return &state_.registers[static_cast<size_t>(port_index)][network_number - 1u];
}

void StatusBoard::SetPort(int port_index, std::string_view name, std::string_view device) {
  if (!PortIndexValid(port_index)) return;
  std::lock_guard lock(mutex_);
  PortStatus& port = state_.ports[static_cast<size_t>(port_index)];
  port.name = name;
  port.device = device;
  ++state_.version;
}

void StatusBoard::SetPortState(int port_index, uint8_t state) {
  if (!PortIndexValid(port_index)) return;
  std::lock_guard lock(mutex_);
  PortStatus& port = state_.ports[static_cast<size_t>(port_index)];
  if (port.state == state) return;
  port.state = state;
  ++state_.version;
}

void StatusBoard::SetPortHealth(int port_index, PortHealth health, std::string_view error) {
  if (!PortIndexValid(port_index)) return;
  const WallTime now = std::chrono::system_clock::now();
  std::lock_guard lock(mutex_);
  PortStatus& port = state_.ports[static_cast<size_t>(port_index)];
  port.health = health;
  if (!error.empty()) {
    port.last_error = error;
    port.last_error_time = now;
  }
  ++state_.version;
}

void StatusBoard::RegisterAnswered(int port_index, uint8_t network_number, WallTime when) {
  std::lock_guard lock(mutex_);
  RegisterStatus* r = Register(port_index, network_number);
  if (r == nullptr) return;
  r->answered = true;
  r->last_answer = when;
  ++state_.version;
}

void StatusBoard::DocumentClosed(int port_index, uint8_t network_number, uint32_t document_number) {
  std::lock_guard lock(mutex_);
  RegisterStatus* r = Register(port_index, network_number);
  if (r == nullptr) return;
  r->closed_document = true;
  r->last_document = document_number;
  ++state_.version;
}

// The store publishes after every transaction and exchange step; only a
// change counts as one.
void StatusBoard::SetRegisters(const RegisterTable& registers) {
  std::lock_guard lock(mutex_);
  bool changed = false;
  for (size_t p = 0; p < registers.size(); ++p) {
    for (size_t n = 0; n < registers[p].size(); ++n) {
      RegisterStatus& r = state_.registers[p][n];
      const RegisterFigures& figures = registers[p][n];
      if (r.serial_number == figures.serial_number &&
          r.pending_operations == figures.pending_operations)
        continue;
      r.serial_number = figures.serial_number;
      r.pending_operations = figures.pending_operations;
      changed = true;
    }
  }
  if (changed) ++state_.version;
}

void StatusBoard::SetStore(const StoreStatus& store) {
  std::lock_guard lock(mutex_);
  if (state_.store == store) return;
  state_.store = store;
  ++state_.version;
}

StatusSnapshot StatusBoard::Snapshot() const {
  std::lock_guard lock(mutex_);
  return state_;
}

uint64_t StatusBoard::Version() const {
  std::lock_guard lock(mutex_);
  return state_.version;
}

}  // namespace tillgate
