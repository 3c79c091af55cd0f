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
  if (!pool_.IsPending(index)) return;
  const OperationRecord& last = pool_.Record(index);
  if (last.line_index != request.line_index || last.network_number != request.network_number)
    return;
  if (goods_.TrackStock()) ReverseStock(index);
  outcome->withdrawn = true;
  outcome->withdrawn_operation = last.operation_code;
  std::memcpy(outcome->withdrawn_code, last.goods_code, kGoodsCodeSize);
  journal_.Add(JournalWithdrawal{OperationId(index)});
  journal_.Add(RegisterEntry(request.line_index, request.network_number, state));
  pool_.Release(index);
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
  // A refusal still keeps what a repetition took back.
  auto refuse = [&](GoodsRefusal refusal) {
    outcome.refusal = refusal;
    journal_.Write();
    return outcome;
  };
  // Taking back may free a record of a full pool for the repetition.
  TakeBackRepeated(*state, request, &outcome);
  // With every record pending no operation can be kept: refuse before the
  // look-up moves anything.
  if (pool_.Full()) return refuse(GoodsRefusal::kPoolFull);
  OperationRecord& r = pool_.Current();
  FillFromRequest(request, r);
  const LookUpResult found = LookUp(r);
  outcome.looked_up = true;
  if (found != LookUpResult::kFound) return refuse(RefusalFor(found));
  r.line_index = request.line_index;
  if (r.operation_code == kOpVoid && !VoidCovered(pool_, r)) {
    // The look-up has already moved the stock; put it back.
    if (goods_.TrackStock()) ReverseStock(r.pool_index);
    return refuse(GoodsRefusal::kVoidNotCovered);
  }
  // The register charges whole kopecks; the report keeps the same amount.
  const uint32_t kopecks = RoundKopecks(r.amount);
  r.amount = kopecks * 0.01;
  const int index = r.pool_index;
  const GoodsDisplay shown = DisplayOf(r, kopecks);
  state->last_operation = index;
  pool_.Commit();
  notes_[index].id = journal_.NewId();
  journal_.Add(OperationEntry(index));
  journal_.Add(RegisterEntry(request.line_index, request.network_number, *state));
  if (journal_.Write()) {
    outcome.goods = shown;
  } else {
    // The register must not be told of a sale a crash could lose: nothing
    // of it stays.
    if (goods_.TrackStock()) ReverseStock(index);
    pool_.Release(index);
    state->last_operation = -1;
    outcome.refusal = GoodsRefusal::kNotRecorded;
  }
  journal_.Compact(/*at_start=*/false);
  return outcome;
}

LookUpResult TDB::LookUp(OperationRecord& r) {
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
  const StockResult moved = MoveStock(r.pool_index);
  if (moved == StockResult::kMoved) return LookUpResult::kFound;
  r.name[0] = 0;
  return moved == StockResult::kShort ? LookUpResult::kOutOfStock : LookUpResult::kStockFailed;
}

StockResult TDB::MoveStock(int pool_index, int direction) {
  const bool reversal = direction < 0;
  if (pool_index < 0 || pool_index >= TPEREBOR::kCapacity) return StockResult::kFailed;
  OperationNote& note = notes_[pool_index];
  if (reversal && note.moved_in != goods_.Generation()) return StockResult::kFailed;
  const OperationRecord& r = pool_.Record(pool_index);
  const StockResult result =
      goods_.MoveStock(r.goods_record_number, r.operation_code, r.quantity, direction);
  if (result == StockResult::kMoved) note.moved_in = reversal ? 0 : goods_.Generation();
  return result;
}

}  // namespace tillgate
