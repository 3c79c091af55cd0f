// The store's journal: what it writes for each transaction, how a start-up
// replays it, and how it is kept small.

#include <algorithm>
#include <map>
#include <string>

#include "store/tdb.h"

namespace tillgate {
namespace {

constexpr char kJournalCondition[] = "journal";
// The journal is looked at for compaction once it has grown past this, and
// again each time it has doubled since.
constexpr uint64_t kCompactionFloor = 64 * 1024;

// The fields an operation keeps; the pool's own links and index stay.
void CopyOperation(const OperationRecord& from, OperationRecord& to) {
  to.line_index = from.line_index;
  to.network_number = from.network_number;
  std::copy(std::begin(from.goods_code), std::end(from.goods_code), to.goods_code);
  to.quantity = from.quantity;
  to.price = from.price;
  to.amount = from.amount;
  std::copy(std::begin(from.name), std::end(from.name), to.name);
  to.section = from.section;
  to.operation_code = from.operation_code;
  to.lookup_kind = from.lookup_kind;
  to.goods_record_number = from.goods_record_number;
}

}  // namespace

JournalId TDB::OperationId(int pool_index) const {
  return IsPending(pool_index) ? operation_ids_[pool_index] : 0;
}

std::string TDB::OperationEntry(int pool_index) const {
  JournalOperation entry;
  entry.id = operation_ids_[pool_index];
  entry.record = Record(pool_index);
  entry.stock_moved = moved_in_[pool_index] != 0 && moved_in_[pool_index] == goods_generation_;
  entry.goods_file = goods_identity_;
  return EncodeEntry(entry);
}

void TDB::RecordRegister(uint32_t line_index, uint8_t network_number, const RegisterState& state) {
  journal_batch_.push_back(EncodeEntry(JournalRegister{
      line_index, network_number, state.last_sequence, OperationId(state.last_operation)}));
}

std::string TDB::IdentificationEntry(uint32_t line_index, uint8_t network_number,
                                     const RegisterState& state) {
  JournalIdentification entry;
  entry.line_index = line_index;
  entry.network_number = network_number;
  entry.year = state.year;
  std::copy(std::begin(state.serial_number), std::end(state.serial_number), entry.serial_number);
  return EncodeEntry(entry);
}

void TDB::ReportJournalFailure(const Status& status) {
  const std::string text =
      status.code() == Status::kBusy
          ? "journal " + journal_->Path() +
                " is held by another server: goods messages are refused and documents stay "
                "open until it is free"
          : "journal " + journal_->Path() + " cannot be written (" + status.Reason() +
                "): goods messages are refused and documents stay open until it can";
  journal_held_ = status.code() == Status::kBusy;
  if (text == journal_failure_) return;
  ReportCondition(events_, Severity::kError, kJournalCondition, text);
  journal_failure_ = text;
}

void TDB::OpenJournal() {
  JournalRecovery recovery;
  const Status opened = journal_->Open(&recovery);
  if (!opened.ok()) {
    ReportJournalFailure(opened);
    return;
  }
  if (!recovery.repair.empty()) Report(events_, recovery.repair_severity, recovery.repair);
  Replay(recovery.entries);
}

void TDB::Replay(const std::vector<std::string>& entries) {
  std::map<JournalId, int> pending;  // journal id -> pool index
  int unreadable = 0;
  int lost = 0;
  auto take_id = [&](JournalId id) { next_journal_id_ = std::max(next_journal_id_, id + 1); };
  auto release = [&](JournalId id) {
    const auto it = pending.find(id);
    if (it == pending.end()) return;
    Release(it->second);
    pending.erase(it);
  };
  for (const std::string& bytes : entries) {
    switch (static_cast<JournalEntryType>(EntryType(bytes))) {
      case JournalEntryType::kOperation: {
        JournalOperation e;
        if (!DecodeEntry(bytes, &e)) break;
        take_id(e.id);
        if (Full()) {
          ++lost;
          continue;
        }
        OperationRecord& r = Current();
        CopyOperation(e.record, r);
        const int index = r.pool_index;
        Commit();
        operation_ids_[index] = e.id;
        pending[e.id] = index;
        // The movement can be taken back only in the very file it was made in.
        moved_in_[index] =
            e.stock_moved && goods_ && e.goods_file == goods_identity_ ? goods_generation_ : 0;
        continue;
      }
      case JournalEntryType::kWithdrawal: {
        JournalWithdrawal e;
        if (!DecodeEntry(bytes, &e)) break;
        release(e.id);
        continue;
      }
      case JournalEntryType::kRegister: {
        JournalRegister e;
        if (!DecodeEntry(bytes, &e)) break;
        if (RegisterState* state = registers_.Find(e.line_index, e.network_number)) {
          state->last_sequence = e.last_sequence;
          const auto it = pending.find(e.last_operation);
          state->last_operation = it == pending.end() ? -1 : it->second;
        }
        continue;
      }
      case JournalEntryType::kIdentification: {
        JournalIdentification e;
        if (!DecodeEntry(bytes, &e)) break;
        if (RegisterState* state = registers_.Find(e.line_index, e.network_number)) {
          state->identified = true;
          state->year = e.year;
          std::copy(std::begin(e.serial_number), std::end(e.serial_number), state->serial_number);
        }
        continue;
      }
      case JournalEntryType::kDocument: {
        JournalDocument e;
        if (!DecodeEntry(bytes, &e)) break;
        take_id(e.id);
        for (const JournalId id : e.operations) release(id);
        if (!e.rows.empty()) report_queue_.push_back({e.id, std::move(e.rows), true});
        continue;
      }
      case JournalEntryType::kBooked: {
        JournalBooked e;
        if (!DecodeEntry(bytes, &e)) break;
        std::erase_if(report_queue_, [&](const WaitingDocument& d) { return d.id == e.id; });
        continue;
      }
    }
    ++unreadable;
  }
  std::string text = "journal " + journal_->Path() + ": " + std::to_string(PendingCount()) +
                     " open operation(s) and " + std::to_string(QueuedReportRecords()) +
                     " waiting row(s) restored";
  Severity severity = Severity::kNotice;
  if (unreadable > 0) {
    text += "; " + std::to_string(unreadable) + " entries could not be read and were skipped";
    severity = Severity::kError;
  }
  if (lost > 0) {
    text += "; " + std::to_string(lost) + " operation(s) found no free record and are lost";
    severity = Severity::kError;
  }
  Report(events_, severity, text);
}

std::vector<std::string> TDB::Snapshot() const {
  std::vector<std::string> entries;
  int index = Head();
  for (int n = PendingCount(); n > 0; --n) {
    entries.push_back(OperationEntry(index));
    index = Record(index).next;
  }
  // A register state matters only while its last operation is pending: a
  // repetition of the message finds nothing else to take back. Its
  // identification matters as long as it may close a document.
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line) {
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network) {
      const RegisterState* state = registers_.Find(line, network);
      if (state && IsPending(state->last_operation))
        entries.push_back(EncodeEntry(JournalRegister{line, network, state->last_sequence,
                                                      operation_ids_[state->last_operation]}));
      if (state && state->identified) entries.push_back(IdentificationEntry(line, network, *state));
    }
  }
  for (const WaitingDocument& d : report_queue_)
    entries.push_back(EncodeEntry(JournalDocument{d.id, {}, d.rows}));
  return entries;
}

bool TDB::BringJournalInStep() {
  if (!journal_) return true;
  if (!journal_->IsOpen()) {
    // Never opened (held by another server, folder not there): nothing was
    // served meanwhile, so what it holds can still be taken up now.
    OpenJournal();
    if (!journal_->IsOpen()) return false;
  }
  if (!journal_->InStep()) {
    const Status rewritten = journal_->Rewrite(Snapshot());
    if (!rewritten.ok()) {
      ReportJournalFailure(rewritten);
      return false;
    }
  }
  if (!journal_failure_.empty()) {
    ReportConditionCleared(events_, kJournalCondition,
                           "journal " + journal_->Path() + " can be written again");
    journal_failure_.clear();
    journal_held_ = false;
  }
  return true;
}

bool TDB::WriteJournal() {
  if (!journal_ || journal_batch_.empty()) {
    journal_batch_.clear();
    return true;
  }
  const Status written = journal_->Append(journal_batch_);
  journal_batch_.clear();
  if (!written.ok()) {
    ReportJournalFailure(written);
    return false;
  }
  return true;
}

void TDB::CompactJournal(bool at_start) {
  if (!JournalWorking() || (!at_start && journal_->Size() < compact_check_at_)) return;
  const std::vector<std::string> live = Snapshot();
  // At a start anything dead goes; later only a journal that is mostly
  // booked and withdrawn (a quarter or less of it still counts) is
  // rewritten. A failed rewrite leaves the journal as it was.
  const uint64_t live_size = Journal::EncodedSize(live);
  if (at_start ? live_size < journal_->Size() : live_size * 4 <= journal_->Size())
    journal_->Rewrite(live);
  compact_check_at_ = std::max(kCompactionFloor, 2 * journal_->Size());
}

}  // namespace tillgate
