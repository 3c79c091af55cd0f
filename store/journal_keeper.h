#pragma once
// The store's journal kept up to date: the entries of each transaction
// written and synced, what a journal holds read back when it opens, the
// whole state rewritten when a write failed, and the file kept small. What
// is kept comes from the store through JournalHolder; what the entries mean
// is journal_entries.h.

#include <memory>
#include <string>
#include <vector>

#include "config/event_sink.h"
#include "platform/file_system.h"
#include "store/journal.h"
#include "store/journal_entries.h"
#include "store/status_board.h"

namespace tillgate {

// What the store made of an opened journal's contents.
struct RestoredFigures {
  int open_operations = 0;
  int waiting_rows = 0;
  int lost = 0;  // operations that found no free record
};

// The store, as its journal keeper sees it.
class JournalHolder {
 public:
  // Everything the journal must hold now.
  virtual std::vector<JournalEntry> Snapshot() const = 0;
  // Called before a snapshot is taken to rewrite the journal: whatever can
  // be made durable elsewhere (the stock in the goods file) need not be in
  // it any more.
  virtual void SettleForRewrite() {}
  // Takes in what an opened journal held.
  virtual RestoredFigures Restore(JournalContents contents) = 0;

 protected:
  ~JournalHolder() = default;
};

class JournalKeeper {
 public:
  // The journal in `folder`; an empty folder keeps none: then every write
  // succeeds at once and nothing is restored. Nothing is owned; no file is
  // touched before Open.
  JournalKeeper(FileSystem* fs, EventSink* events, const std::string& folder,
                JournalHolder* holder);
  JournalKeeper(const JournalKeeper&) = delete;
  JournalKeeper& operator=(const JournalKeeper&) = delete;

  bool Kept() const { return journal_ != nullptr; }
  bool IsOpen() const { return journal_ && journal_->IsOpen(); }
  // Another server holds it: that one serves the registers.
  bool HeldByAnother() const { return journal_ && journal_->HeldByAnother(); }
  // Kept and can be written now.
  bool Working() const { return journal_ && journal_->InStep(); }
  JournalHealth Health() const;
  // The journal file; null when none is kept.
  const Journal* File() const { return journal_.get(); }
  const std::string& Path() const;

  // Opens the journal and hands what it holds to the holder, saying what
  // was restored (and repaired). A failure is said once; Open is tried
  // again by the next BringInStep.
  void Open();
  // Makes the journal hold what the store holds (opening it first, or
  // rewriting it after a failed write). True when it does, or none is kept.
  bool BringInStep();

  // A new id for an operation or a document.
  JournalId NewId() { return next_id_++; }
  // An entry of the transaction in progress; Write puts them all in the
  // file in one append, synced. True when they are on the disk (or none is
  // kept); a failure is said once until the journal works again.
  void Add(const JournalEntry& entry);
  bool Write();

  // Rewrites the journal with only what still counts when it is mostly
  // dead (at a start: when anything in it is dead). Only at the end of a
  // transaction, once the store holds what it did.
  void Compact(bool at_start);

 private:
  void ReportFailure(const Status& status);
  std::vector<std::string> EncodedSnapshot() const;

  EventSink* events_;
  JournalHolder* holder_;
  std::unique_ptr<Journal> journal_;  // null when none is kept
  std::vector<std::string> batch_;
  JournalId next_id_ = 1;
  uint64_t compact_check_at_ = 0;  // journal size of the next look
  std::string failure_;            // the last one said, until it can be written
  bool held_ = false;              // that failure: another server holds it
  // The opened journal held entries that could not be read; they stay
  // until the next rewrite.
  bool unreadable_kept_ = false;
};

}  // namespace tillgate
