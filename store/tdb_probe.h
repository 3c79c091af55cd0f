#pragma once
// A look inside the store for tests and benchmarks (never for the server):
// its pool, what it keeps of each register, the rows waiting for the
// report, and its three parts. Not locked: for one thread at a time.

#include <cstdint>
#include <map>
#include <string>

#include "store/tdb.h"

namespace tillgate {

class TdbProbe {
 public:
  explicit TdbProbe(TDB& db) : db_(db) {}

  TPEREBOR& Pool() { return db_.pool_; }
  RegisterState* Register(uint32_t line_index, uint8_t network_number) {
    return db_.registers_.Find(line_index, network_number);
  }
  int QueuedRows() const { return db_.QueuedRows(); }
  std::map<std::string, int> KeptOperations() const { return db_.KeptOperations(); }
  // The report view's next row.
  int ReportRow() const { return db_.report_view_.NextRow(); }
  const GoodsFile& Goods() const { return db_.goods_; }
  const ReportFile& Report() const { return db_.report_; }
  const JournalKeeper& Journal() const { return db_.journal_; }

 private:
  TDB& db_;
};

}  // namespace tillgate
