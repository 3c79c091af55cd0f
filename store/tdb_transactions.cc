// The store's transactions for the lines: a goods message served whole, a
// document closed, a register listed in the diagnostics view. Each holds the
// store's lock from its first rule to its last.

#include <cstring>
#include <string>

#include "store/kopecks.h"
#include "store/monitoring_views.h"
#include "store/tdb.h"

namespace tillgate {
namespace {

// Rows 1..14 take registers as they identify; row 15 takes every later one.
constexpr int kFirstDiagnosticsRow = 1;
constexpr int kLastFreeDiagnosticsRow = 14;
constexpr int kOverflowDiagnosticsRow = 15;

void FillFromRequest(const GoodsRequest& request, OperationRecord& r) {
  r.network_number = request.network_number;
  r.operation_code = request.operation_code;
  r.lookup_kind = request.lookup_kind;
  std::memcpy(r.goods_code, request.goods_code, kGoodsCodeSize);
  r.goods_code[kGoodsCodeSize - 1] = 0;
  r.quantity = request.quantity;
}

GoodsRefusal RefusalFor(LookUpResult result) {
  switch (result) {
    case LookUpResult::kNoGoodsFile:
      return GoodsRefusal::kNoGoodsFile;
    case LookUpResult::kOutOfStock:
      return GoodsRefusal::kOutOfStock;
    case LookUpResult::kStockFailed:
      return GoodsRefusal::kStockFailed;
    case LookUpResult::kReadFailed:
      return GoodsRefusal::kUnreadable;
    case LookUpResult::kFound:
    case LookUpResult::kNotFound:
      break;
  }
  return GoodsRefusal::kNotFound;
}

}  // namespace

// A repeated sequence byte means the register did not get the answer to its
// previous goods message and sends it again: that operation is taken back
// before the message is served anew. Only an operation that is still pending
// and is this register's own is taken back.
void TDB::TakeBackRepeated(RegisterState& state, const GoodsRequest& request,
                           GoodsOutcome* outcome) {
  if (request.sequence != state.last_sequence) {
    state.last_sequence = request.sequence;
    // A new message: until it is committed, a repetition of it has nothing
    // to take back.
    state.last_operation = -1;
    return;
  }
  const int index = state.last_operation;
  state.last_operation = -1;
  if (!IsPending(index)) return;
  const OperationRecord& last = Record(index);
  if (last.line_index != request.line_index || last.network_number != request.network_number)
    return;
  if (TrackStock()) ReverseStock(index);
  outcome->withdrawn = true;
  outcome->withdrawn_operation = last.operation_code;
  std::memcpy(outcome->withdrawn_code, last.goods_code, kGoodsCodeSize);
  journal_batch_.push_back(EncodeEntry(JournalWithdrawal{OperationId(index)}));
  RecordRegister(request.line_index, request.network_number, state);
  Release(index);
}

GoodsOutcome TDB::ServeGoods(const GoodsRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  GoodsOutcome outcome;
  RegisterState* state = registers_.Find(request.line_index, request.network_number);
  if (state == nullptr) {
    outcome.refusal = GoodsRefusal::kNoRegister;
    return outcome;
  }
  // Nothing is served, not even taken back, that the journal cannot keep.
  if (!BringJournalInStep()) {
    outcome.refusal = GoodsRefusal::kNotRecorded;
    return outcome;
  }
  journal_batch_.clear();
  // A refusal still keeps what a repetition took back.
  auto refuse = [&](GoodsRefusal refusal) {
    outcome.refusal = refusal;
    WriteJournal();
    return outcome;
  };
  // Taking back may free a record of a full pool for the repetition.
  TakeBackRepeated(*state, request, &outcome);
  // With every record pending no operation can be kept: refuse before the
  // look-up moves anything.
  if (Full()) return refuse(GoodsRefusal::kPoolFull);
  OperationRecord& r = Current();
  FillFromRequest(request, r);
  const LookUpResult found = LookUp(r);
  outcome.looked_up = true;
  if (found != LookUpResult::kFound) {
    outcome.record = r;
    return refuse(RefusalFor(found));
  }
  r.line_index = request.line_index;
  if (r.operation_code == kOpVoid && !CheckVoid(r)) {
    // The look-up has already moved the stock; put it back.
    if (TrackStock()) ReverseStock(r.pool_index);
    outcome.record = r;
    return refuse(GoodsRefusal::kVoidNotCovered);
  }
  // The register charges whole kopecks; the report keeps the same amount.
  outcome.kopecks = RoundKopecks(r.amount);
  r.amount = outcome.kopecks * 0.01;
  const int index = r.pool_index;
  state->last_operation = index;
  outcome.record = r;
  Commit();
  operation_ids_[index] = next_journal_id_++;
  journal_batch_.push_back(OperationEntry(index));
  RecordRegister(request.line_index, request.network_number, *state);
  if (!WriteJournal()) {
    // The register must not be told of a sale a crash could lose: nothing
    // of it stays.
    if (TrackStock()) ReverseStock(index);
    Release(index);
    state->last_operation = -1;
    outcome.kopecks = 0;
    outcome.refusal = GoodsRefusal::kNotRecorded;
  }
  CompactJournal(/*at_start=*/false);
  return outcome;
}

int TDB::CloseDocument(uint32_t line_index, uint8_t network_number, const DocumentStamp& stamp) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PublishOnExit publish(*this);
  const int rows = ReportPending(line_index, network_number, stamp);
  CompactJournal(/*at_start=*/false);
  if (rows >= 0 && status_)
    status_->DocumentClosed(static_cast<int>(line_index), network_number, stamp.document_number);
  return rows;
}

void TDB::KeepIdentification(const Identification& identification) {
  RegisterState* state = registers_.Find(identification.line_index, identification.network_number);
  if (state == nullptr) return;
  char serial[kSerialNumberLength + 1] = {};
  identification.serial_number.copy(serial, kSerialNumberLength);
  if (state->identified && state->year == identification.year &&
      std::memcmp(state->serial_number, serial, sizeof serial) == 0)
    return;  // registers identify again at every start
  state->identified = true;
  state->year = identification.year;
  std::memcpy(state->serial_number, serial, sizeof serial);
  // Not a promise to the register: a journal that cannot take it now gets
  // it with the rewrite that brings it back in step.
  if (!JournalWorking()) return;
  journal_batch_.clear();
  journal_batch_.push_back(
      IdentificationEntry(identification.line_index, identification.network_number, *state));
  WriteJournal();
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
  grid->SetCell(2, row, identification.serial_number);
  grid->SetCell(3, row, std::to_string(identification.network_number));
}

}  // namespace tillgate
