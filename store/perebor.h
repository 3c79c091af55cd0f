#pragma once
// The pool of 500 operation records. The records form one ring through their
// links: from the head, the first PendingCount() records are pending (oldest
// first), the next one is current (filled by decoding), the rest are free.

#include <cstdint>
#include <functional>

#include "store/operation_record.h"

namespace tillgate {

class TPEREBOR {
 public:
  static constexpr int kCapacity = 500;

  TPEREBOR();
  TPEREBOR(const TPEREBOR&) = delete;
  TPEREBOR& operator=(const TPEREBOR&) = delete;

  // The record decoding fills next. While Full() this is a spare record
  // outside the pool, so that filling it cannot overwrite a pending one.
  OperationRecord& Current();
  // The record with that pool index; an index outside the pool gives the
  // spare record.
  OperationRecord& Record(int pool_index);
  const OperationRecord& Record(int pool_index) const;

  int Cursor() const { return cursor_; }
  int Head() const { return head_; }
  int PendingCount() const { return pending_count_; }
  // Every record pending: the next operation must be refused.
  bool Full() const { return pending_count_ >= kCapacity; }
  bool IsPending(int pool_index) const;

  // The current record joins the pending list; the next one becomes current.
  // Does nothing when Full().
  void Commit();
  // The record leaves the pending list and becomes the next free record to
  // be used. Does nothing for a record that is not pending.
  void Release(int pool_index);

 private:
  int cursor_ = 0;
  int head_ = 0;
  int pending_count_ = 0;
  OperationRecord records_[kCapacity];
  bool pending_[kCapacity] = {};
  OperationRecord spare_;
};

// True when the pending operations of the void's register (line and network
// number) with the same goods code and section cover its quantity: sales
// add to the cover, returns and earlier voids take from it.
// `counts`, when given, says which pending records (by pool index) are the
// register's own.
bool VoidCovered(const TPEREBOR& pool, const OperationRecord& void_operation,
                 const std::function<bool(int)>& counts = nullptr);

}  // namespace tillgate
