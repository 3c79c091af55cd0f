#pragma once
// The store: the goods file tovars.dbf with its exchange and stock tracking,
// the report file otchet.dbf with its hand-over, the goods and report views,
// all on top of the pool of pending operations. Used from one thread only.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "config/event_sink.h"
#include "line/register_slot.h"
#include "store/dbff.h"
#include "store/file_system.h"
#include "store/goods_layout.h"
#include "store/grid_model.h"
#include "store/perebor.h"
#include "store/report_record.h"

namespace tillgate {

class TDB : public TPEREBOR {
 public:
  // Builds the paths (folder + "/tovars.dbf" ...) and runs one goods and one
  // report exchange step. An empty folder (program not installed) disables
  // that side: the store then touches no file of it. `fs` nullptr = POSIX;
  // `events` may be nullptr. Neither is owned.
  TDB(const std::string& goods_folder, const std::string& report_folder, FileSystem* fs,
      EventSink* events);
  ~TDB();

  // The goods view (6 columns) and report view (11 columns); either may be
  // nullptr. Not owned.
  void SetViews(GridModel* goods, GridModel* report);
  // Stock tracking as set by the operator. Once a goods file without RES has
  // been taken in, tracking stays off whatever is set.
  void SetTrackStock(bool on);
  bool TrackStock() const;

  // One goods exchange step: opens tovars.dbf, or takes in tovars2.dbf when
  // tovars.exp signals it. True when a goods file is open afterwards (a
  // rejected candidate gives false while the old file stays in service).
  bool ExchangeGoods();
  // One report exchange step: opens or creates otchet.dbf, hands it over as
  // otchet2.dbf when otchet.exp asks, and appends records waiting from failed
  // appends. True when a report file is open afterwards.
  bool ExchangeReport();
  // Rebuilds the goods view from the open goods file; nothing changes when
  // no goods file is open or its header cannot be read.
  void FillGoodsView();

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
  // first), shows it and releases it; records of other registers stay. True.
  bool CloseDocument(uint32_t line_index, uint8_t network_number, const RegisterSlot& slot);
  // Appends the record for pool index `pool_index`; a record that cannot be
  // appended now waits in order for the next step that can write. True when
  // it reached the file now.
  bool WriteReportRecord(int pool_index, const RegisterSlot& slot);
  // One row of the report view; after row 99 the next row is 1 again.
  void ShowReportRow(const OperationRecord& r, const RegisterSlot& slot);

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
  int report_row_ = 1;
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
