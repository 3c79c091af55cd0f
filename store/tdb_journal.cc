// What the store keeps in its journal, and how it takes back what an opened
// journal held.

#include <algorithm>
#include <cstring>
#include <map>

#include "store/tdb.h"

namespace tillgate {
namespace {

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
  return pool_.IsPending(pool_index) ? notes_[pool_index].id : 0;
}

JournalOperation TDB::OperationEntry(int pool_index) const {
  JournalOperation entry;
  entry.id = notes_[pool_index].id;
  entry.record = pool_.Record(pool_index);
  const uint32_t moved_in = notes_[pool_index].moved_in;
  entry.stock_moved = moved_in != 0 && moved_in == goods_.Generation();
  entry.goods_file = goods_.Identity();
  std::copy_n(notes_[pool_index].owner, kSerialNumberLength, entry.owner);
  entry.kept = notes_[pool_index].kept;
  return entry;
}

JournalRegister TDB::RegisterEntry(uint32_t line_index, uint8_t network_number,
                                   const RegisterState& state) const {
  return {line_index, network_number, state.last_sequence, OperationId(state.last_operation)};
}

JournalIdentification TDB::IdentificationEntry(uint32_t line_index, uint8_t network_number,
                                               const RegisterState& state) {
  JournalIdentification entry;
  entry.line_index = line_index;
  entry.network_number = network_number;
  entry.year = state.stamp.year;
  std::copy_n(state.stamp.serial_number, kSerialNumberLength, entry.serial_number);
  return entry;
}

std::vector<JournalEntry> TDB::Snapshot() const {
  std::vector<JournalEntry> entries;
  int index = pool_.Head();
  for (int n = pool_.PendingCount(); n > 0; --n) {
    entries.push_back(OperationEntry(index));
    index = pool_.Record(index).next;
  }
  // A register state matters only while its last operation is pending: a
  // repetition of the message finds nothing else to take back. Its
  // identification matters as long as it may close a document.
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line) {
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network) {
      const RegisterState* state = registers_.Find(line, network);
      if (state && pool_.IsPending(state->last_operation))
        entries.emplace_back(std::in_place_type<JournalRegister>,
                             RegisterEntry(line, network, *state));
      if (state && state->identified)
        entries.emplace_back(std::in_place_type<JournalIdentification>,
                             IdentificationEntry(line, network, *state));
    }
  }
  // Where the next document's rows go in, without the mark that told it.
  if (report_end_.known) entries.push_back(JournalBooked{0, report_end_});
  for (const WaitingDocument& d : report_queue_)
    entries.push_back(JournalDocument{d.id, {}, d.rows});
  // Stock the goods file may not hold on the disk yet (also while it is out
  // of service: it may come back).
  for (const auto& [record, held] : stock_) entries.push_back(JournalStock{LevelOf(record)});
  for (const StockLevel& level : waiting_stock_) entries.push_back(JournalStock{level});
  return entries;
}

RestoredFigures TDB::Restore(JournalContents contents) {
  // A register that identified before the journal could be taken up (it
  // was held by a server that has stopped since) is the one on the line
  // now; the journal's operations of another register are kept for that.
  std::map<std::pair<uint32_t, uint8_t>, std::string> live;
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line)
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network)
      if (const RegisterState* state = registers_.Find(line, network); state->identified)
        live[{line, network}] = state->stamp.serial_number;
  auto serial_at = [&](uint32_t line, uint8_t network) -> std::string {
    if (const auto it = live.find({line, network}); it != live.end()) return it->second;
    for (const JournalIdentification& i : contents.identifications)
      if (i.line_index == line && i.network_number == network) return i.serial_number;
    return std::string();
  };
  std::map<JournalId, int> pending;  // journal id -> pool index
  RestoredFigures figures;
  for (const JournalOperation& e : contents.operations) {
    if (pool_.Full()) {
      ++figures.lost;
      continue;
    }
    OperationRecord& r = pool_.Current();
    CopyOperation(e.record, r);
    const int index = r.pool_index;
    pool_.Commit();
    // The movement can be taken back only in the very file it was made in.
    const bool same_file = e.stock_moved && goods_.IsOpen() && e.goods_file == goods_.Identity();
    OperationNote& note = notes_[index];
    note = {e.id, same_file ? goods_.Generation() : 0};
    std::copy_n(e.owner, kSerialNumberLength, note.owner);
    note.kept = KeptForAnother(e, serial_at(e.record.line_index, e.record.network_number).c_str());
    pending[e.id] = index;
  }
  for (const JournalRegister& e : contents.registers) {
    if (live.count({e.line_index, e.network_number})) continue;  // another register's
    if (RegisterState* state = registers_.Find(e.line_index, e.network_number)) {
      state->last_sequence = e.last_sequence;
      const auto it = pending.find(e.last_operation);
      state->last_operation = it == pending.end() ? -1 : it->second;
    }
  }
  for (const JournalIdentification& e : contents.identifications) {
    if (live.count({e.line_index, e.network_number})) continue;
    if (RegisterState* state = registers_.Find(e.line_index, e.network_number)) {
      state->identified = true;
      state->stamp.year = e.year;
      std::copy_n(e.serial_number, kSerialNumberLength, state->stamp.serial_number);
    }
  }
  // Only the first of them may be at the report's end already: the next
  // document goes into the report only once the journal no longer keeps
  // the one before it (FlushReportQueue). Looking for a later one there
  // would take the rows of an alike document before it for its own; so
  // would the first, were it not looked for from the report's end after
  // the last document booked.
  report_end_ = contents.report_end;
  for (JournalDocument& e : contents.waiting)
    report_queue_.push_back({e.id, std::move(e.rows), /*maybe_written=*/report_queue_.empty()});
  // Stock the goods file may have lost (a crash before it was written, a
  // power cut before it was synced) is put back.
  if (goods_.IsOpen() && stock_file_known_) {
    if (const int changed = ApplyLevels(contents.stock); changed > 0)
      Report(events_, Severity::kNotice,
             "journal: the stock of " + std::to_string(changed) +
                 " goods record(s) in tovars.dbf put back to what the journal holds");
  } else {
    waiting_stock_ = std::move(contents.stock);
  }
  for (const auto& [serial, count] : KeptOperations())
    Report(events_, Severity::kWarning,
           "journal: " + std::to_string(count) + " open operation(s) of register " + serial +
               " kept for it: another register is at its line and network number now");
  figures.open_operations = pool_.PendingCount();
  figures.waiting_rows = QueuedRows();
  return figures;
}

std::map<std::string, int> TDB::KeptOperations() const {
  std::map<std::string, int> kept;
  int index = pool_.Head();
  for (int n = pool_.PendingCount(); n > 0; --n) {
    const OperationNote& note = notes_[index];
    if (note.kept) ++kept[std::string(note.owner, strnlen(note.owner, kSerialNumberLength))];
    index = pool_.Record(index).next;
  }
  return kept;
}

}  // namespace tillgate
