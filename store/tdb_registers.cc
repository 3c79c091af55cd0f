// Registers as the store keeps them: an identification listed in the
// diagnostics view and kept for the documents the register closes; the
// view cleared at a Start.

#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "store/monitoring_views.h"
#include "store/tdb.h"

namespace tillgate {
namespace {

// Rows 1..14 take registers as they identify; row 15 takes every later one.
constexpr int kFirstDiagnosticsRow = 1;
constexpr int kLastFreeDiagnosticsRow = 14;
constexpr int kOverflowDiagnosticsRow = 15;

}  // namespace

void TDB::KeepIdentification(const Identification& identification) {
  const uint32_t line = identification.line_index;
  const uint8_t network = identification.network_number;
  RegisterState* state = registers_.Find(line, network);
  if (state == nullptr) return;
  char serial[kSerialNumberLength + 1] = {};
  identification.serial_number.copy(serial, kSerialNumberLength);
  const bool same_serial = state->identified && std::memcmp(state->stamp.serial_number, serial,
                                                            kSerialNumberLength) == 0;
  // registers identify again at every start
  const bool changed = !same_serial || state->stamp.year != identification.year;
  // Another register at this line and network number: the sequence byte
  // of the one before says nothing about its messages.
  const bool other_register = state->identified && !same_serial;
  if (changed) {
    state->identified = true;
    state->stamp.year = identification.year;
    std::memcpy(state->stamp.serial_number, serial, kSerialNumberLength);
  }
  if (other_register) {
    state->last_sequence = 0xFF;
    state->last_operation = -1;
  }
  SortOwnership(line, network, serial);
  // Not a promise to the register: a journal that cannot take it now gets
  // it with the rewrite that brings it back in step.
  if (!changed || !journal_.Working()) return;
  journal_.Add(IdentificationEntry(line, network, *state));
  if (other_register) journal_.Add(RegisterEntry(line, network, *state));
  journal_.Write();
}

void TDB::SortOwnership(uint32_t line_index, uint8_t network_number, const char* serial) {
  const std::string_view mine(serial, strnlen(serial, kSerialNumberLength));
  if (mine.empty()) return;
  std::map<std::string, int> set_apart;  // by their register's serial number
  int returned = 0;
  std::vector<int> moved;
  int index = pool_.Head();
  for (int n = pool_.PendingCount(); n > 0; --n) {
    OperationRecord& r = pool_.Record(index);
    OperationNote& note = notes_[index];
    const std::string_view owner(note.owner, strnlen(note.owner, kSerialNumberLength));
    const bool here = r.line_index == line_index && r.network_number == network_number;
    if (here && !note.kept && owner.empty()) {
      // Sold before the register identified: it is this register's.
      std::memcpy(note.owner, mine.data(), mine.size());
      moved.push_back(index);
    } else if (here && !note.kept && owner != mine) {
      note.kept = true;
      ++set_apart[std::string(owner)];
      moved.push_back(index);
    } else if (owner == mine && (note.kept || !here)) {
      // Its register identified again, here: the operation is its own again.
      r.line_index = line_index;
      r.network_number = network_number;
      note.kept = false;
      ++returned;
      moved.push_back(index);
    }
    index = r.next;
  }
  const std::string where = "register " + std::string(mine) + " identified on COM" +
                            std::to_string(line_index + 1) + " network " +
                            std::to_string(network_number);
  for (const auto& [owner, count] : set_apart)
    Report(events_, Severity::kWarning,
           where + ": " + std::to_string(count) + " open operation(s) of register " + owner +
               " there are kept for that register until it identifies again");
  if (returned > 0)
    Report(events_, Severity::kNotice,
           where + ": " + std::to_string(returned) +
               " open operation(s) kept for it are its own again");
  if (moved.empty() || !journal_.Working()) return;
  for (const int i : moved) journal_.Add(OperationEntry(i));
  journal_.Write();
}

void TDB::ShowIdentification(const Identification& identification) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  KeepIdentification(identification);
  GridModel* grid = diagnostics_view_;
  if (grid == nullptr) return;
  int row = kOverflowDiagnosticsRow;
  for (int r = kFirstDiagnosticsRow; r <= kLastFreeDiagnosticsRow; ++r) {
    if (grid->Cell(0, r).empty()) {
      row = r;
      break;
    }
  }
  grid->SetCell(0, row, identification.port_name);
  grid->SetCell(1, row, identification.model_name);
  grid->SetCell(2, row, identification.SerialText());
  grid->SetCell(3, row, std::to_string(identification.network_number));
}

void TDB::ClearDiagnostics() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (diagnostics_view_)
    diagnostics_view_->ClearCells(0, kDiagnosticsColumns - 1, 1, kDiagnosticsLastRow);
}

}  // namespace tillgate
