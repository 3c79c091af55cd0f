#include "store/perebor.h"

#include <cstring>

namespace tillgate {
namespace {

// Quantities travel in thousandths; sums of doubles may miss zero by far less.
constexpr double kQuantityTolerance = 0.0005;

bool SameCode(const OperationRecord& a, const OperationRecord& b) {
  return std::strncmp(a.goods_code, b.goods_code, kGoodsCodeSize) == 0;
}

}  // namespace

TPEREBOR::TPEREBOR() {
  for (int i = 0; i < kCapacity; ++i) {
    records_[i].next = (i + 1) % kCapacity;
    records_[i].prev = (i + kCapacity - 1) % kCapacity;
    records_[i].pool_index = i;
  }
  spare_.pool_index = kCapacity;
}

OperationRecord& TPEREBOR::Current() { return Full() ? spare_ : records_[cursor_]; }

OperationRecord& TPEREBOR::Record(int pool_index) {
  return pool_index >= 0 && pool_index < kCapacity ? records_[pool_index] : spare_;
}

const OperationRecord& TPEREBOR::Record(int pool_index) const {
  return pool_index >= 0 && pool_index < kCapacity ? records_[pool_index] : spare_;
}

bool TPEREBOR::IsPending(int pool_index) const {
  return pool_index >= 0 && pool_index < kCapacity && pending_[pool_index];
}

void TPEREBOR::Commit() {
  if (Full()) return;
  pending_[cursor_] = true;
  cursor_ = records_[cursor_].next;
  ++pending_count_;
}

void TPEREBOR::Release(int i) {
  if (!IsPending(i)) return;
  OperationRecord& r = records_[i];
  const bool was_full = Full();
  if (i == head_) head_ = r.next;
  records_[r.prev].next = r.next;
  records_[r.next].prev = r.prev;
  if (was_full) {
    // The cursor rests on the head; the freed record becomes the current one,
    // placed after the last pending record, that is just before the head.
    r.prev = records_[head_].prev;
    r.next = head_;
    records_[r.prev].next = i;
    records_[head_].prev = i;
    cursor_ = i;
  } else {
    // Right after the current record: the next one to be used.
    OperationRecord& current = records_[cursor_];
    r.prev = cursor_;
    r.next = current.next;
    records_[current.next].prev = i;
    current.next = i;
  }
  pending_[i] = false;
  --pending_count_;
}

bool VoidCovered(const TPEREBOR& pool, const OperationRecord& r,
                 const std::function<bool(int)>& counts) {
  double covered = -r.quantity;
  int index = pool.Head();
  for (int n = pool.PendingCount(); n > 0; --n) {
    const OperationRecord& p = pool.Record(index);
    if (p.network_number == r.network_number && p.line_index == r.line_index &&
        p.section == r.section && SameCode(p, r) && (!counts || counts(index))) {
      if (p.operation_code == kOpReturn || p.operation_code == kOpVoid)
        covered -= p.quantity;
      else
        covered += p.quantity;
    }
    index = p.next;
  }
  return covered >= -kQuantityTolerance;
}

}  // namespace tillgate
