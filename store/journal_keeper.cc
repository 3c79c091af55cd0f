#include "store/journal_keeper.h"

#include <algorithm>

namespace tillgate {
namespace {

constexpr char kJournalCondition[] = "journal";
// The journal is looked at for compaction once it has grown past this, and
// again each time it has doubled since.
constexpr uint64_t kCompactionFloor = 64 * 1024;

}  // namespace

JournalKeeper::JournalKeeper(FileSystem* fs, EventSink* events, const std::string& folder,
                             JournalHolder* holder)
    : events_(events),
      holder_(holder),
      journal_(folder.empty() ? nullptr : std::make_unique<Journal>(fs, folder)) {}

JournalHealth JournalKeeper::Health() const {
  if (!journal_) return JournalHealth::kNone;
  if (Working()) return JournalHealth::kOk;
  return held_ ? JournalHealth::kHeld : JournalHealth::kFailing;
}

const std::string& JournalKeeper::Path() const {
  static const std::string kNone;
  return journal_ ? journal_->Path() : kNone;
}

void JournalKeeper::ReportFailure(const Status& status) {
  const std::string text =
      status.code() == Status::kBusy
          ? "journal " + Path() +
                " is held by another server: goods messages are refused and documents stay "
                "open until it is free"
          : "journal " + Path() + " cannot be written (" + status.Reason() +
                "): goods messages are refused and documents stay open until it can";
  held_ = status.code() == Status::kBusy;
  if (text == failure_) return;
  ReportCondition(events_, Severity::kError, kJournalCondition, text);
  failure_ = text;
}

void JournalKeeper::Open() {
  if (!journal_) return;
  JournalRecovery recovery;
  const Status opened = journal_->Open(&recovery);
  if (!opened.ok()) {
    ReportFailure(opened);
    return;
  }
  if (!recovery.repair.empty()) Report(events_, recovery.repair_severity, recovery.repair);
  JournalContents contents = ReadBack(recovery.entries);
  next_id_ = std::max(next_id_, contents.last_id + 1);
  const int unreadable = contents.unreadable;
  unreadable_kept_ = unreadable > 0;
  const RestoredFigures figures = holder_->Restore(std::move(contents));
  std::string text = "journal " + Path() + ": " + std::to_string(figures.open_operations) +
                     " open operation(s) and " + std::to_string(figures.waiting_rows) +
                     " waiting row(s) restored";
  Severity severity = Severity::kNotice;
  if (unreadable > 0) {
    text += "; " + std::to_string(unreadable) + " entries could not be read and were skipped";
    severity = Severity::kError;
  }
  if (figures.lost > 0) {
    text += "; " + std::to_string(figures.lost) + " operation(s) found no free record and are lost";
    severity = Severity::kError;
  }
  Report(events_, severity, text);
}

std::vector<std::string> JournalKeeper::EncodedSnapshot() const {
  std::vector<std::string> entries;
  for (const JournalEntry& entry : holder_->Snapshot()) entries.push_back(EncodeEntry(entry));
  return entries;
}

bool JournalKeeper::BringInStep() {
  if (!journal_) return true;
  if (!journal_->IsOpen()) {
    // Never opened (held by another server, folder not there): nothing was
    // served meanwhile, so what it holds can still be taken up now.
    Open();
    if (!journal_->IsOpen()) return false;
  }
  if (!journal_->InStep()) {
    holder_->SettleForRewrite();
    const Status rewritten = journal_->Rewrite(EncodedSnapshot());
    if (!rewritten.ok()) {
      ReportFailure(rewritten);
      return false;
    }
    unreadable_kept_ = false;
  }
  if (!failure_.empty()) {
    ReportConditionCleared(events_, kJournalCondition,
                           "journal " + Path() + " can be written again");
    failure_.clear();
    held_ = false;
  }
  return true;
}

void JournalKeeper::Add(const JournalEntry& entry) {
  if (journal_) batch_.push_back(EncodeEntry(entry));
}

bool JournalKeeper::Write() {
  if (!journal_ || batch_.empty()) {
    batch_.clear();
    return true;
  }
  const Status written = journal_->Append(batch_);
  batch_.clear();
  if (!written.ok()) {
    ReportFailure(written);
    return false;
  }
  return true;
}

void JournalKeeper::Compact(bool at_start) {
  if (!Working() || (!at_start && journal_->Size() < compact_check_at_)) return;
  holder_->SettleForRewrite();
  const std::vector<std::string> live = EncodedSnapshot();
  // At a start anything dead goes; later only a journal that is mostly
  // booked and withdrawn (a quarter or less of it still counts) is
  // rewritten. A failed rewrite leaves the journal as it was. Entries that
  // could not be read are dead too, even where what counts grew in its
  // rewrite (entries of an older version are written anew in full).
  const uint64_t live_size = Journal::EncodedSize(live);
  const bool dead_at_start = live_size < journal_->Size() || unreadable_kept_;
  if ((at_start ? dead_at_start : live_size * 4 <= journal_->Size()) &&
      journal_->Rewrite(live).ok())
    unreadable_kept_ = false;
  compact_check_at_ = std::max(kCompactionFloor, 2 * journal_->Size());
}

}  // namespace tillgate
