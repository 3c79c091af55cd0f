#pragma once
// The store: the transaction coordinator over three parts, the goods file
// (tovars.dbf with its exchange, look-ups and stock), the report file
// (otchet.dbf with its hand-over) and the journal keeper (pending
// operations, register states and rows waiting for the report, kept in the
// state folder across a stop or a crash); it owns the pool of pending
// operations and what it keeps of every register, and fills the
// monitoring views.
//
// The rules that span the parts live here, each in one place: a repeated
// goods message takes the previous operation back; stock moves with the
// operation and back with it, journaled with it before it reaches the goods
// file; an open operation belongs to the register (by serial number) it was
// sold on; a closed document goes into the journal first, then into the
// report, then is marked booked.
//
// Every Store transaction takes the store's lock, so any thread may call
// them; nothing else changes the store or its views.

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/goods_file.h"
#include "store/grid_model.h"
#include "store/journal_keeper.h"
#include "store/perebor.h"
#include "store/register_book.h"
#include "store/report_file.h"
#include "store/report_view.h"
#include "store/status_board.h"
#include "store/store.h"

namespace tillgate {

class TdbProbe;

class TDB final : public Store, private JournalHolder {
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

  // ---- wiring, before the transactions run
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
  // A new goods file's index is built on a thread of its own while the old
  // file keeps serving (on), or within the exchange step (off, the default).
  void SetBackgroundIndexing(bool on);

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
                    const DocumentClose& document) override;
  void ShowIdentification(const Identification& identification) override;
  void ClearDiagnostics() override;
  // One goods exchange step (see GoodsFile::Exchange).
  bool ExchangeGoods() override;
  // One report exchange step: opens or creates otchet.dbf (a new one when
  // the open one lost its name), hands it over as otchet2.dbf when
  // otchet.exp asks, and appends the documents waiting for it. True when a
  // report file is open afterwards.
  bool ExchangeReport() override;
  void FillGoodsView() override;

 private:
  friend class TdbProbe;  // tests look inside

  // A closed document whose rows must reach the report together.
  struct WaitingDocument {
    JournalId id = 0;
    std::vector<ReportRecordBytes> rows;
    // Some of its rows may be at the report's end already (a crash or a
    // failed cut while it was written): they are looked for before writing.
    bool maybe_written = false;
  };
  // What the store keeps beside each pool record.
  struct OperationNote {
    JournalId id = 0;       // in the journal, while pending
    uint32_t moved_in = 0;  // goods file generation its stock moved in; 0 = none
    // Serial number of the register it was sold on; empty when that one had
    // not identified.
    char owner[kSerialNumberLength + 1] = {};
    // Kept for its owner: another register now has its line and network
    // number, which neither closes it nor takes it back.
    bool kept = false;
  };
  // A stock movement of the transaction in progress, to be taken back when
  // its operation is refused before it is committed.
  struct StockMove {
    int pool_index = 0;
    int32_t record = 0;
    double before = 0;
    uint32_t moved_in_before = 0;
  };
  // A goods record's stock as the store holds it.
  struct StockNote {
    std::string code;  // its CODE field's bytes
    double stock = 0;
    bool written = false;  // the goods file holds it (not yet synced)
  };
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

  // ---- goods messages (tdb_goods.cc)
  // A repeated sequence byte takes the register's previous operation back
  // (stock included); any other one is remembered as the last.
  void TakeBackRepeated(RegisterState& state, const GoodsRequest& request, GoodsOutcome* outcome);
  // Fills r's goods record number, name, section, price and amount, moving
  // the stock when tracking is on. An empty name = not found or refused
  // (also while the pool is full); the result says which.
  LookUpResult LookUp(OperationRecord& r, StockLevel* level);
  // The stock of the record's goods in the operation's own direction (+1),
  // or back (-1: refused when the goods file has been replaced since the
  // movement, as its record number may now name other goods).
  // The movement is planned, not written: it goes into the journal with its
  // operation first (`*level`), and into the goods file by WriteStock.
  StockResult MoveStock(int pool_index, int direction, StockLevel* level);
  // True when the pending record is this register's own (not kept for
  // another).
  bool OwnedBy(int pool_index, uint32_t line_index, uint8_t network_number) const;

  // ---- stock (tdb_stock.cc)
  // The stock the store holds for goods record `record` of the file in
  // service (its CODE bytes in `*code`).
  StockResult CurrentStock(int32_t record, double* stock, std::string* code);
  StockLevel LevelOf(int32_t record) const;
  // Holds `stock` for the record, counting it unwritten until it is.
  void HoldStock(int32_t record, std::string code, double stock, bool written);
  // Takes the transaction's last movement back (its operation was refused).
  void UndoLastMove();
  // Writes every stock level the goods file does not hold yet; false when
  // `record` could not be written.
  bool WriteStock(int32_t record = 0);
  // A goods file came into service (or the same one again): the stock held
  // for another file is dropped, levels the journal kept for this one are
  // put back, and the journal told.
  void FollowGoodsFile();
  // Puts the journal's levels into the goods file they were moved in;
  // returns how many records it changed.
  int ApplyLevels(const std::vector<StockLevel>& levels);
  void SettleForRewrite() override;

  // ---- documents and the report (tdb_report.cc)
  // Hands every pending record of that register (oldest first) to the
  // report as one document, shows it and releases it. Returns how many, or
  // -1 when the journal could not take the document (nothing changed then).
  int ReportPending(uint32_t line_index, uint8_t network_number, const DocumentClose& document);
  bool ExchangeReportStep();
  // Hands otchet.dbf over once no waiting document may still be partly at
  // its end and the journal knows which documents are in it.
  void HandOverReport();
  // Appends waiting documents in order, each marked booked in the journal;
  // stops at the first that fails.
  void FlushReportQueue();
  bool MaybeWrittenWaiting() const;
  // A report file created since the last look: its end (empty) goes into
  // the journal before any row goes into it.
  void NoteNewReportFile();
  int QueuedRows() const;

  // ---- the journal (tdb_journal.cc)
  std::vector<JournalEntry> Snapshot() const override;
  RestoredFigures Restore(JournalContents contents) override;
  JournalId OperationId(int pool_index) const;
  JournalOperation OperationEntry(int pool_index) const;
  JournalRegister RegisterEntry(uint32_t line_index, uint8_t network_number,
                                const RegisterState& state) const;
  static JournalIdentification IdentificationEntry(uint32_t line_index, uint8_t network_number,
                                                   const RegisterState& state);
  // Keeps the register's serial number and year in its state, and in the
  // journal when they changed.
  void KeepIdentification(const Identification& identification);
  // The open operations that belong to the register now identified at that
  // line and network number come to it; those of another register are kept
  // apart for theirs. Says so and journals what moved.
  void SortOwnership(uint32_t line_index, uint8_t network_number, const char* serial);
  // Pending operations kept for another register, by its serial number.
  std::map<std::string, int> KeptOperations() const;

  TPEREBOR pool_;     // first, as the pool always was
  std::mutex mutex_;  // one transaction at a time
  FileSystem* fs_;
  EventSink* events_;
  GoodsFile goods_;
  ReportFile report_;
  JournalKeeper journal_;
  RegisterBook registers_;
  OperationNote notes_[TPEREBOR::kCapacity] = {};
  std::vector<StockMove> moves_;        // of the transaction in progress
  std::map<int32_t, StockNote> stock_;  // records moved since the goods file was synced
  FileIdentity stock_file_;             // the goods file stock_ is of
  bool stock_file_known_ = false;
  int unwritten_ = 0;                      // levels in stock_ not written yet
  std::vector<StockLevel> waiting_stock_;  // for a goods file not in service yet
  std::deque<WaitingDocument> report_queue_;
  // Where the report ended after the last document booked: the first
  // waiting one starts there.
  ReportEnd report_end_;
  uint32_t report_creations_noted_ = 0;
  ReportView report_view_;
  GridModel* diagnostics_view_ = nullptr;
  StatusBoard* status_ = nullptr;
};

}  // namespace tillgate
