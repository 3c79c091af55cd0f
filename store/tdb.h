#pragma once
// The store: the goods file tovars.dbf with its exchange and stock tracking,
// the report file otchet.dbf with its hand-over, the goods, report and
// diagnostics views, all on top of the pool of pending operations; with a
// state folder, the journal that keeps pending operations, register states
// and rows waiting for the report across a stop or a crash.
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
#include <vector>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/dbff.h"
#include "store/goods_layout.h"
#include "store/grid_model.h"
#include "store/journal.h"
#include "store/journal_entries.h"
#include "store/perebor.h"
#include "store/register_book.h"
#include "store/report_record.h"
#include "store/status_board.h"
#include "store/store.h"

namespace tillgate {

// How a look-up ended.
enum class LookUpResult : uint8_t {
  kFound,
  kNoGoodsFile,  // no goods file in service
  kNotFound,     // no goods with that code (or the pool is full)
  kOutOfStock,   // the stock would go below zero
  kStockFailed,  // the stock could not be read or written back
  kReadFailed,   // the goods file could not be read
};

class TDB : public TPEREBOR, public Store {
 public:
  // Builds the paths (folder + "/tovars.dbf" ...), runs one goods exchange
  // step, replays the journal in `state_folder` and runs one report
  // exchange step (which writes the rows the journal kept waiting first).
  // An empty folder (program not installed) disables that side: the store
  // then touches no file of it. An empty `state_folder`, or both store
  // folders empty, keeps no journal: pending operations then live only in
  // memory. Every file is reached through `files`; `events` may be nullptr.
  // Neither is owned.
  TDB(const std::string& goods_folder, const std::string& report_folder, FileSystem& files,
      EventSink* events, const std::string& state_folder = std::string());
  // Says how many open operations and waiting rows the journal keeps.
  ~TDB() override;

  // The goods view (6 columns), report view (11 columns) and diagnostics
  // view (4 columns used, rows 1..15); any may be nullptr. Not owned.
  void SetViews(GridModel* goods, GridModel* report, GridModel* diagnostics = nullptr);
  // The board the store's figures go to (goods records, rows written and
  // waiting, the journal, each register's serial number and open
  // operations), at once and after every transaction and exchange step.
  // May be nullptr; not owned.
  void SetStatusBoard(StatusBoard* board);
  // Stock tracking as set by the operator. Once a goods file without RES has
  // been taken in, tracking stays off whatever is set.
  void SetTrackStock(bool on);
  bool TrackStock() const;

  // ---- the transactions (each takes the lock)
  // With a journal, the served operation (and what a repeated message took
  // back) is synced into it before this returns; when it cannot be, the
  // message is refused (kNotRecorded) and nothing of it stays.
  GoodsOutcome ServeGoods(const GoodsRequest& request) override;
  // Also sets the register's last sequence byte back to 0xFF, so that only a
  // message carrying 0xFF counts as repeated. With a journal, the document's
  // rows are synced into it before any reaches the report; when they cannot
  // be, nothing changes and -1 is returned.
  int CloseDocument(uint32_t line_index, uint8_t network_number,
                    const DocumentStamp& stamp) override;
  void ShowIdentification(const Identification& identification) override;
  // One goods exchange step: opens tovars.dbf, or takes in tovars2.dbf when
  // tovars.exp signals it. True when a goods file is open afterwards (a
  // rejected candidate gives false while the old file stays in service).
  bool ExchangeGoods() override;
  // One report exchange step: opens or creates otchet.dbf (a new one when
  // the open one lost its name), hands it over as otchet2.dbf when
  // otchet.exp asks, and appends the documents waiting for it. True when a
  // report file is open afterwards.
  bool ExchangeReport() override;
  // Rebuilds the goods view from the open goods file; nothing changes when
  // no goods file is open or its header cannot be read.
  void FillGoodsView() override;

  // ---- parts of the transactions (no lock)

  // Checks the layout of `file`; fills `*layout` only when it passes.
  bool CheckGoodsLayout(File* file, GoodsLayout* layout);

  // Fills r's goods record number, name, section, price and amount, moving
  // the stock when tracking is on. An empty name = not found or refused
  // (also while the pool is Full()); the result says which.
  LookUpResult LookUp(OperationRecord& r);
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
  // Hands every pending record of that register (oldest first) to the
  // report as one document, shows it and releases it; records of other
  // registers stay. A stamp without a serial number takes the serial number
  // and year the register last identified with (kept across a restart).
  // Returns how many it handed over, or -1 when the journal could not take
  // the document (nothing changed then).
  int ReportPending(uint32_t line_index, uint8_t network_number, const DocumentStamp& stamp);
  // One row of the report view; after row 99 the next row is 1 again.
  void ShowReportRow(const OperationRecord& r, const DocumentStamp& stamp);
  // What the store keeps of a register; null outside the table.
  RegisterState* Register(uint32_t line_index, uint8_t network_number) {
    return registers_.Find(line_index, network_number);
  }

  bool GoodsOpen() const { return goods_ != nullptr; }
  bool ReportOpen() const { return report_ != nullptr; }
  const GoodsLayout& Layout() const { return layout_; }
  // Report rows waiting for a file that can take them.
  int QueuedReportRecords() const;
  int ReportRow() const { return report_row_; }
  // A journal is kept and can be written now.
  bool JournalWorking() const { return journal_ && journal_->InStep(); }
  const Journal* GetJournal() const { return journal_.get(); }

 private:
  // A closed document whose rows must reach the report together.
  struct WaitingDocument {
    JournalId id = 0;
    std::vector<ReportRecordBytes> rows;
    // Some of its rows may be at the report's end already (a crash or a
    // failed cut while it was written): they are looked for before writing.
    bool maybe_written = false;
  };
  // Why a stock movement failed.
  enum class StockResult : uint8_t { kMoved, kShort, kFailed };
  // Publishes the store's figures when it goes out of scope: at the end of
  // a transaction, inside its lock.
  class PublishOnExit final {
   public:
    explicit PublishOnExit(TDB& db) : db_(db) {}
    ~PublishOnExit() { db_.PublishStatus(); }
    PublishOnExit(const PublishOnExit&) = delete;
    PublishOnExit& operator=(const PublishOnExit&) = delete;

   private:
    TDB& db_;
  };

  // Hands the store's figures to the status board (under the lock).
  void PublishStatus();

  // `same_file`: reopening the file just closed, not a new one.
  bool OpenGoodsFile(bool same_file = false);
  // A look-up's read of the goods file failed, or worked after one had.
  void GoodsReadFailed();
  void GoodsReadWorked();
  // Says when the file holds fewer whole records than its header counts.
  void CheckGoodsLength(File* file, uint32_t records, const GoodsLayout& layout);
  void ReportGoodsProblem(const std::string& text);
  bool TakeInCandidate();
  bool ExchangeGoodsStep();
  bool ExchangeReportStep();
  // A repeated sequence byte takes the register's previous operation back
  // (stock included); any other one is remembered as the last.
  void TakeBackRepeated(RegisterState& state, const GoodsRequest& request, GoodsOutcome* outcome);
  void CloseGoods();
  bool OpenOrCreateReport();
  // Says once that otchet.dbf cannot be `what` ("opened") and why; false.
  bool ReportFileFailure(const char* what, const Status& status);
  bool CreateReport();
  bool CompleteReportHeader(File* file);
  // Sets the header's record count to the whole records present and cuts a
  // torn last record off. False when the file cannot be read or fixed.
  bool RepairReportHeader(File* file);
  // False (and the file closed, said once) when otchet.dbf no longer names
  // the file held open: deleted, moved away, or replaced.
  bool ReportStillNamed();
  // Hands otchet.dbf over as otchet2.dbf, once no waiting document may
  // still be partly at its end.
  bool HandOverReport();
  // A waiting document may have rows in otchet.dbf already.
  bool MaybeWrittenWaiting() const;
  void CloseReport();
  // Appends waiting documents in order; stops at the first that fails.
  void FlushReportQueue();
  // Writes the document's rows after the last whole record, then the
  // header; on failure cuts the file back so that none of them stays.
  bool AppendDocument(WaitingDocument& document);
  // How many of `rows` (from the first) already end the report, in `*done`.
  // False when the report's end cannot be read.
  bool RowsAlreadyWritten(const std::vector<ReportRecordBytes>& rows, uint32_t present,
                          uint32_t* done);
  // `direction` +1 adds the quantity, -1 takes it away.
  StockResult ApplyStock(int pool_index, int direction, bool reversal);

  // ---- the journal (pricedb_journal.cc)
  void OpenJournal();
  void Replay(const std::vector<std::string>& entries);
  // Everything the journal must hold now: pending operations, register
  // states, waiting documents.
  std::vector<std::string> Snapshot() const;
  // Makes the journal hold what memory holds (a rewrite when an earlier
  // write failed). True when it does.
  bool BringJournalInStep();
  // Writes the entries of the transaction in progress (journal_batch_) and
  // syncs them. True when they are on the disk, or no journal is kept.
  bool WriteJournal();
  // Compaction rewrites the journal from memory: only once memory holds
  // what the transaction did, at its end.
  // Rewrites the journal with only what still counts when it is mostly
  // dead (at a start: when anything in it is dead).
  void CompactJournal(bool at_start);
  void ReportJournalFailure(const Status& status);
  JournalId OperationId(int pool_index) const;
  std::string OperationEntry(int pool_index) const;
  void RecordRegister(uint32_t line_index, uint8_t network_number, const RegisterState& state);
  static std::string IdentificationEntry(uint32_t line_index, uint8_t network_number,
                                         const RegisterState& state);
  // Keeps the register's serial number and year in its state, and in the
  // journal when they changed.
  void KeepIdentification(const Identification& identification);

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
  std::string report_folder_, report_path_, report_handover_path_, report_signal_path_;
  std::unique_ptr<File> goods_;
  std::unique_ptr<File> report_;
  GridModel* goods_view_ = nullptr;
  GridModel* report_view_ = nullptr;
  GridModel* diagnostics_view_ = nullptr;
  StatusBoard* status_ = nullptr;
  uint32_t goods_records_ = 0;  // of the goods file in service
  uint64_t rows_written_ = 0;   // into the report since start-up
  int report_row_ = 1;
  RegisterBook registers_;
  std::deque<WaitingDocument> report_queue_;
  FileIdentity report_identity_;  // of the report file held open
  FileIdentity goods_identity_;   // of the goods file in service
  // Which goods file (counted from 1 as files come into service) each pool
  // record's stock was moved in; 0 = not moved.
  uint32_t goods_generation_ = 0;
  uint32_t moved_in_[kCapacity] = {};
  // Events are reported on changes, not on every tick.
  bool candidate_rejection_reported_ = false;
  std::string goods_problem_;             // the last one said, until a goods file opens
  bool goods_unreadable_ = false;         // a look-up could not read it; said once
  std::string goods_shortfall_;           // the cut-short warning last said
  bool report_failure_reported_ = false;  // the report file cannot be used
  bool report_append_failed_ = false;
  Status report_append_status_;  // why the last append failed
  bool handover_failure_reported_ = false;
  std::string journal_failure_;  // the last one said, until it can be written
  bool journal_held_ = false;    // that failure: another server holds it

  // The journal; null when none is kept.
  std::unique_ptr<Journal> journal_;
  std::vector<std::string> journal_batch_;
  JournalId next_journal_id_ = 1;
  JournalId operation_ids_[kCapacity] = {};  // of each pending record
  uint64_t compact_check_at_ = 0;            // journal size of the next look
};

}  // namespace tillgate
