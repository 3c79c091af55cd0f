// Stock kept exact through a crash or a power cut. A movement is planned in
// memory, goes into the journal with the operation that made it (as the
// absolute stock it leaves, so that replaying it twice changes nothing),
// and only then into tovars.dbf, which is not synced at every sale: the
// journal keeps each level until the goods file has been synced. A goods
// record is its record number in one goods file (device and file number),
// checked against its CODE when a level is put back; a file taken in through
// tovars.exp starts afresh with the back office's stock.

#include <cstring>

#include "store/tdb.h"

namespace tillgate {

StockResult TDB::CurrentStock(int32_t record, double* stock, std::string* code) {
  if (const auto it = stock_.find(record); it != stock_.end()) {
    *stock = it->second.stock;
    *code = it->second.code;
    return StockResult::kMoved;
  }
  return goods_.ReadStock(record, stock, code);
}

void TDB::HoldStock(int32_t record, std::string code, double stock, bool written) {
  const auto [it, added] = stock_.try_emplace(record);
  if (!added && !it->second.written) --unwritten_;
  it->second = {std::move(code), stock, written};
  if (!written) ++unwritten_;
}

StockLevel TDB::LevelOf(int32_t record) const {
  StockLevel level;
  const auto it = stock_.find(record);
  if (it == stock_.end()) return level;
  level.goods_file = stock_file_;
  level.record_number = record;
  level.code = it->second.code;
  level.stock = it->second.stock;
  return level;
}

StockResult TDB::MoveStock(int pool_index, int direction, StockLevel* level) {
  *level = StockLevel();
  const bool reversal = direction < 0;
  if (pool_index < 0 || pool_index >= TPEREBOR::kCapacity) return StockResult::kFailed;
  OperationNote& note = notes_[pool_index];
  if (reversal && note.moved_in != goods_.Generation()) return StockResult::kFailed;
  if (!goods_.IsOpen() || !stock_file_known_) return StockResult::kFailed;
  const OperationRecord& r = pool_.Record(pool_index);
  double stock = 0;
  std::string code;
  StockResult result = CurrentStock(r.goods_record_number, &stock, &code);
  double after = stock;
  if (result == StockResult::kMoved)
    result = goods_.StockAfter(stock, r.operation_code, r.quantity, direction, &after);
  if (result != StockResult::kMoved) return result;
  moves_.push_back({pool_index, r.goods_record_number, stock, note.moved_in});
  HoldStock(r.goods_record_number, std::move(code), after, /*written=*/false);
  note.moved_in = reversal ? 0 : goods_.Generation();
  *level = LevelOf(r.goods_record_number);
  return StockResult::kMoved;
}

void TDB::UndoLastMove() {
  if (moves_.empty()) return;
  const StockMove move = moves_.back();
  moves_.pop_back();
  notes_[move.pool_index].moved_in = move.moved_in_before;
  HoldStock(move.record, stock_[move.record].code, move.before, /*written=*/false);
}

bool TDB::WriteStock(int32_t record) {
  moves_.clear();
  bool wrote_record = true;
  if (unwritten_ == 0) return true;
  unwritten_ = 0;
  for (auto& [number, held] : stock_) {
    if (held.written) continue;
    held.written = goods_.WriteStock(number, held.stock) == StockResult::kMoved;
    if (held.written) continue;
    ++unwritten_;
    if (number == record) wrote_record = false;
  }
  return wrote_record;
}

int TDB::ApplyLevels(const std::vector<StockLevel>& levels) {
  int changed = 0;
  for (const StockLevel& level : levels) {
    if (!(level.goods_file == goods_.Identity())) continue;
    double stock = 0;
    std::string code;
    if (goods_.ReadStock(level.record_number, &stock, &code) != StockResult::kMoved ||
        code != level.code) {
      // Not the goods it was moved for: the file was changed by other means
      // than tovars.exp. What it holds is left as it is.
      Report(events_, Severity::kWarning,
             "journal: the stock of goods record " + std::to_string(level.record_number) +
                 " was not put back: tovars.dbf no longer holds the goods code \"" +
                 level.code.substr(0, level.code.find_last_not_of(' ') + 1) + "\" there");
      continue;
    }
    HoldStock(level.record_number, code, level.stock, stock == level.stock);
    if (stock != level.stock) ++changed;
  }
  WriteStock();
  if (changed > 0 && unwritten_ == 0) goods_.SyncStock();
  return changed;
}

void TDB::FollowGoodsFile() {
  if (!goods_.IsOpen()) return;
  if (stock_file_known_ && goods_.Identity() == stock_file_) {
    // The same file: levels a failed write left behind go in now.
    if (unwritten_ > 0) WriteStock();
    return;
  }
  // Another goods file: its RES holds the stock from now on.
  stock_.clear();
  unwritten_ = 0;
  stock_file_ = goods_.Identity();
  stock_file_known_ = true;
  if (!waiting_stock_.empty()) {
    const std::vector<StockLevel> waiting = std::move(waiting_stock_);
    waiting_stock_.clear();
    if (const int changed = ApplyLevels(waiting); changed > 0)
      Report(events_, Severity::kNotice,
             "journal: the stock of " + std::to_string(changed) +
                 " goods record(s) in tovars.dbf put back to what the journal holds");
  }
  if (!journal_.Working()) return;  // the next rewrite says it
  journal_.Add(JournalGoodsFile{stock_file_});
  journal_.Write();
}

void TDB::SettleForRewrite() {
  // Once tovars.dbf is on the disk the levels need not be journaled.
  if (stock_.empty() || unwritten_ > 0 || !goods_.IsOpen() || !(goods_.Identity() == stock_file_))
    return;
  if (goods_.SyncStock().ok()) stock_.clear();
}

}  // namespace tillgate
