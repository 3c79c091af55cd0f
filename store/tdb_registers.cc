// Registers as the store keeps them: an identification listed in the
// diagnostics view and kept for the documents the register closes; the
// view cleared at a Start.

#include <cstring>
#include <string>

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
  RegisterState* state = registers_.Find(identification.line_index, identification.network_number);
  if (state == nullptr) return;
  char serial[kSerialNumberLength] = {};
  identification.serial_number.copy(serial, kSerialNumberLength);
  if (state->identified && state->stamp.year == identification.year &&
      std::memcmp(state->stamp.serial_number, serial, sizeof serial) == 0)
    return;  // registers identify again at every start
  state->identified = true;
  state->stamp.year = identification.year;
  std::memcpy(state->stamp.serial_number, serial, sizeof serial);
  // Not a promise to the register: a journal that cannot take it now gets
  // it with the rewrite that brings it back in step.
  if (!journal_.Working()) return;
  journal_.Add(
      IdentificationEntry(identification.line_index, identification.network_number, *state));
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
