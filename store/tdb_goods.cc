// A goods message served whole: the repeated-message rule, the look-up with
// its stock movement, the void check and the commit, with what the journal
// must keep of it.

#include <cstring>
#include <string_view>

#include "store/kopecks.h"
#include "store/tdb.h"

namespace tillgate {
namespace {

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

GoodsDisplay DisplayOf(const OperationRecord& r, uint32_t kopecks) {
  GoodsDisplay shown;
  std::memcpy(shown.name, r.name, sizeof shown.name);
  shown.price = r.price;
  shown.quantity = r.quantity;
  shown.kopecks = kopecks;
  shown.section = r.section;
  shown.operation_code = r.operation_code;
  return shown;
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
  if (!OwnedBy(index, request.line_index, request.network_number)) return;
  const OperationRecord& last = pool_.Record(index);
  JournalWithdrawal withdrawal{OperationId(index), {}};
  if (goods_.TrackStock()) MoveStock(index, -1, &withdrawal.level);
  outcome->withdrawn = true;
  outcome->withdrawn_operation = last.operation_code;
  std::memcpy(outcome->withdrawn_code, last.goods_code, kGoodsCodeSize);
  journal_.Add(withdrawal);
  journal_.Add(RegisterEntry(request.line_index, request.network_number, state));
  pool_.Release(index);
}

bool TDB::OwnedBy(int pool_index, uint32_t line_index, uint8_t network_number) const {
  if (!pool_.IsPending(pool_index) || notes_[pool_index].kept) return false;
  const OperationRecord& r = pool_.Record(pool_index);
  return r.line_index == line_index && r.network_number == network_number;
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
  if (!journal_.BringInStep()) {
    outcome.refusal = GoodsRefusal::kNotRecorded;
    return outcome;
  }
  moves_.clear();
  // A refusal still keeps what a repetition took back, stock included.
  auto refuse = [&](GoodsRefusal refusal) {
    outcome.refusal = refusal;
    journal_.Write();
    WriteStock();
    return outcome;
  };
  // Taking back may free a record of a full pool for the repetition.
  TakeBackRepeated(*state, request, &outcome);
  // With every record pending no operation can be kept: refuse before the
  // look-up moves anything.
  if (pool_.Full()) return refuse(GoodsRefusal::kPoolFull);
  OperationRecord& r = pool_.Current();
  FillFromRequest(request, r);
  JournalOperation entry;
  const LookUpResult found = LookUp(r, &entry.level);
  outcome.looked_up = true;
  if (found != LookUpResult::kFound) return refuse(RefusalFor(found));
  r.line_index = request.line_index;
  const auto own = [&](int i) { return !notes_[i].kept; };
  if (r.operation_code == kOpVoid && !VoidCovered(pool_, r, own)) {
    // The look-up has already moved the stock; put it back.
    if (entry.level.Moved()) UndoLastMove();
    return refuse(GoodsRefusal::kVoidNotCovered);
  }
  // The register charges whole kopecks; the report keeps the same amount.
  const uint32_t kopecks = RoundKopecks(r.amount);
  r.amount = kopecks * 0.01;
  const int index = r.pool_index;
  const GoodsDisplay shown = DisplayOf(r, kopecks);
  state->last_operation = index;
  pool_.Commit();
  OperationNote& note = notes_[index];
  note.id = journal_.NewId();
  note.kept = false;
  std::memset(note.owner, 0, sizeof note.owner);
  if (state->identified) std::memcpy(note.owner, state->stamp.serial_number, kSerialNumberLength);
  const StockLevel level = entry.level;
  entry = OperationEntry(index);
  entry.level = level;
  journal_.Add(entry);
  journal_.Add(RegisterEntry(request.line_index, request.network_number, *state));
  const bool recorded = journal_.Write();
  const StockMove sold = level.Moved() ? moves_.back() : StockMove();
  // The register must not be told of a sale a crash could lose: nothing of
  // it stays. What a repetition took back stays taken back.
  if (!recorded && level.Moved()) UndoLastMove();
  // The journal holds the stock now: the goods file may follow.
  const bool stock_written = WriteStock(level.record_number);
  if (recorded && stock_written) {
    outcome.goods = shown;
  } else if (recorded) {
    // The goods file refused the new stock: the sale is taken back in the
    // journal as well, and refused.
    HoldStock(sold.record, level.code, sold.before, /*written=*/false);
    const JournalWithdrawal withdrawal{note.id, LevelOf(sold.record)};
    note.moved_in = 0;
    state->last_operation = -1;
    pool_.Release(index);
    journal_.Add(withdrawal);
    journal_.Add(RegisterEntry(request.line_index, request.network_number, *state));
    journal_.Write();
    WriteStock();
    outcome.refusal = GoodsRefusal::kStockFailed;
  } else {
    pool_.Release(index);
    state->last_operation = -1;
    outcome.refusal = GoodsRefusal::kNotRecorded;
  }
  journal_.Compact(/*at_start=*/false);
  return outcome;
}

LookUpResult TDB::LookUp(OperationRecord& r, StockLevel* level) {
  *level = StockLevel();
  r.goods_record_number = -1;
  r.name[0] = 0;
  // A reused record carries no movement of its previous operation.
  if (r.pool_index >= 0 && r.pool_index < TPEREBOR::kCapacity) notes_[r.pool_index].moved_in = 0;
  // Every record pending: the operation is refused and nothing is moved.
  if (pool_.Full()) return LookUpResult::kNotFound;
  GoodsItem item;
  const LookUpResult found =
      goods_.Find(std::string_view(r.goods_code, strnlen(r.goods_code, sizeof r.goods_code)),
                  r.lookup_kind, &item);
  r.goods_record_number = item.record_number;
  if (found != LookUpResult::kFound) return found;
  std::memcpy(r.name, item.name, static_cast<size_t>(item.name_length) + 1);
  r.section = item.section;
  r.price = item.price;
  r.amount = r.price * r.quantity * 100;
  if (!goods_.TrackStock()) return LookUpResult::kFound;
  const StockResult moved = MoveStock(r.pool_index, +1, level);
  if (moved == StockResult::kMoved) return LookUpResult::kFound;
  r.name[0] = 0;
  return moved == StockResult::kShort ? LookUpResult::kOutOfStock : LookUpResult::kStockFailed;
}

}  // namespace tillgate
