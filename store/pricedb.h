#pragma once
// The store: the goods file tovars.dbf with its exchange and stock tracking,
// the report file otchet.dbf with its hand-over, the goods, report and
// diagnostics views, all on top of the pool of pending operations.
//
// The Store transactions (ServeGoods, CloseDocument, ShowIdentification, the
// exchange steps, FillGoodsView) take the store's lock, so any thread may
// call them. The other public operations are their parts; they take no lock
// and are for tests, which call them from one thread.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "config/event_sink.h"
#include "store/dbff.h"
#include "store/file_system.h"
#include "store/goods_layout.h"
#include "store/grid_model.h"
#include "store/perebor.h"
#include "store/register_book.h"
#include "store/report_record.h"
#include "store/store.h"

namespace tillgate {

class TDB : public TPEREBOR, public Store {
 public:
  // Builds the paths (folder + "/tovars.dbf" ...) and runs one goods and one
  // report exchange step. An empty folder (program not installed) disables
  // that side: the store then touches no file of it. `fs` nullptr = POSIX;
  // `events` may be nullptr. Neither is owned.
  TDB(const std::string& goods_folder, const std::string& report_folder, FileSystem* fs,
      EventSink* events);
  ~TDB() override;

  // The goods view (6 columns), report view (11 columns) and diagnostics
  // view (4 columns used, rows 1..15); any may be nullptr. Not owned.
  void SetViews(GridModel* goods, GridModel* report, GridModel* diagnostics = nullptr);
  // Stock tracking as set by the operator. Once a goods file without RES has
  // been taken in, tracking stays off whatever is set.
  void SetTrackStock(bool on);
  bool TrackStock() const;

  // ---- the transactions (each takes the lock)
  GoodsOutcome ServeGoods(const GoodsRequest& request) override;
  // Also sets the register's last sequence byte back to 0xFF, so that only a
  // message carrying 0xFF counts as repeated.
  int CloseDocument(uint32_t line_index, uint8_t network_number,
                    const DocumentStamp& stamp) override;
  void ShowIdentification(const Identification& identification) override;
  // One goods exchange step: opens tovars.dbf, or takes in tovars2.dbf when
  // tovars.exp signals it. True when a goods file is open afterwards (a
  // rejected candidate gives false while the old file stays in service).
  bool ExchangeGoods() override;
  // One report exchange step: opens or creates otchet.dbf, hands it over as
  // otchet2.dbf when otchet.exp asks, and appends records waiting from failed
  // appends. True when a report file is open afterwards.
  bool ExchangeReport() override;
  // Rebuilds the goods view from the open goods file; nothing changes when
  // no goods file is open or its header cannot be read.
  void FillGoodsView() override;

  // ---- parts of the transactions (no lock)

  // Checks the layout of `file`; fills `*layout` only when it passes.
  bool CheckGoodsLayout(File* file, GoodsLayout* layout);

  // Fills r's goods record number, name, section, price and amount, moving
  // the stock when tracking is on. An empty name = not found or refused
  // (also while the pool is Full()).
  void LookUp(OperationRecord& r);
  // Stock of the record's goods in the operation's own direction (sales
  // decrease, returns and voids increase). False, and nothing written, when
  // there is no RES field or goods file, the read fails, the stock would go
  // below zero, the number does not fit RES or the write fails.
  bool MoveStock(int pool_index);
  // The opposite direction, to undo a movement (withdrawals, refused voids).
  // Refused when the goods file has been replaced since the movement: its
  // record number may now name other goods.
  bool ReverseStock(int pool_index);
  // True when the register's pending operations of the same goods code and
  // section cover the void's quantity.
  bool CheckVoid(const OperationRecord& r);
  // Writes every pending record of that register to the report (oldest
  // first), shows it and releases it; records of other registers stay.
  // Returns how many it handed over.
  int ReportPending(uint32_t line_index, uint8_t network_number, const DocumentStamp& stamp);
  // Appends the record for pool index `pool_index`; a record that cannot be
  // appended now waits in order for the next step that can write. True when
  // it reached the file now.
  bool WriteReportRecord(int pool_index, const DocumentStamp& stamp);
  // One row of the report view; after row 99 the next row is 1 again.
  void ShowReportRow(const OperationRecord& r, const DocumentStamp& stamp);
  // What the store keeps of a register; null outside the table.
  RegisterState* Register(uint32_t line_index, uint8_t network_number) {
    return registers_.Find(line_index, network_number);
  }

  bool GoodsOpen() const { return goods_ != nullptr; }
  bool ReportOpen() const { return report_ != nullptr; }
  const GoodsLayout& Layout() const { return layout_; }
  // Report records waiting for a file that can take them.
  int QueuedReportRecords() const { return static_cast<int>(report_queue_.size()); }
  int ReportRow() const { return report_row_; }

 private:
  // `same_file`: reopening the file just closed, not a new one.
  bool OpenGoodsFile(bool same_file = false);
  bool TakeInCandidate();
  bool ExchangeGoodsStep();
  bool ExchangeReportStep();
  // A repeated sequence byte takes the register's previous operation back
  // (stock included); any other one is remembered as the last.
  void TakeBackRepeated(RegisterState& state, const GoodsRequest& request, GoodsOutcome* outcome);
  void CloseGoods();
  bool OpenOrCreateReport();
  bool CreateReport();
  bool CompleteReportHeader(File* file);
  bool HandOverReport();
  void CloseReport();
  // Appends waiting records in order; stops at the first that fails.
  void FlushReportQueue();
  // `direction` +1 adds the quantity, -1 takes it away.
  bool ApplyStock(int pool_index, int direction, bool reversal);

  std::mutex mutex_;  // one transaction at a time
  FileSystem* fs_;
  EventSink* events_;
  TDBFF dbf_;
  GoodsLayout layout_;
  bool track_stock_ = false;
  bool stock_disabled_ = false;  // a goods file without RES was taken in
  bool goods_enabled_;
  bool report_enabled_;
  std::string goods_path_, goods_candidate_path_, goods_signal_path_;
  std::string report_path_, report_handover_path_, report_signal_path_;
  std::unique_ptr<File> goods_;
  std::unique_ptr<File> report_;
  GridModel* goods_view_ = nullptr;
  GridModel* report_view_ = nullptr;
  GridModel* diagnostics_view_ = nullptr;
  int report_row_ = 1;
  RegisterBook registers_;
  std::deque<ReportRecordBytes> report_queue_;
  // Which goods file (counted from 1 as files come into service) each pool
  // record's stock was moved in; 0 = not moved.
  uint32_t goods_generation_ = 0;
  uint32_t moved_in_[kCapacity] = {};
  // Events are reported on changes, not on every tick.
  bool candidate_rejection_reported_ = false;
  bool goods_rejection_reported_ = false;
  bool report_failure_reported_ = false;
};

}  // namespace tillgate
