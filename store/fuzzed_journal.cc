#include "store/fuzzed_journal.h"

#include <algorithm>
#include <cstdlib>

#include "platform/memory_file_system.h"
#include "store/fuzz_check.h"
#include "store/journal.h"

namespace tillgate {
namespace {

constexpr size_t kJournalHeader = 8;  // magic, version
constexpr size_t kFrameHead = 8;      // length, checksum

std::vector<std::string> SplitEntries(const uint8_t* data, size_t size) {
  std::vector<std::string> entries;
  while (size >= 2) {
    const size_t length = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    data += 2;
    size -= 2;
    // An empty entry is never written: the file would read as damaged there.
    if (length > 0) entries.emplace_back(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
  }
  return entries;
}

// The entries framed by the journal itself, as a server writes them. One
// journal serves every input: opened once, rewritten with each one's entries.
std::string Framed(const std::vector<std::string>& entries) {
  static MemoryFileSystem* const fs = new MemoryFileSystem;
  static Journal* const journal = [] {
    auto* opened = new Journal(fs, "s");
    JournalRecovery recovery;
    FUZZ_CHECK(opened->Open(&recovery).ok());
    return opened;
  }();
  FUZZ_CHECK(journal->Rewrite(entries).ok());
  return fs->Get("s/journal");
}

}  // namespace

FuzzedJournal MakeFuzzedJournal(const uint8_t* data, size_t size) {
  FuzzedJournal made;
  const uint8_t form = data[0] & 3;
  const uint8_t where = data[1];
  data += FuzzedJournal::kHeadBytes;
  size -= FuzzedJournal::kHeadBytes;
  if (form == FuzzedJournal::kAsIs) {
    made.file.assign(reinterpret_cast<const char*>(data), size);
    return made;
  }
  const std::vector<std::string> entries = SplitEntries(data, size);
  made.file = Framed(entries);
  made.framed = true;
  made.expected = entries;
  made.whole = entries.empty() || form == FuzzedJournal::kWhole;
  if (made.whole) return made;
  if (form == FuzzedJournal::kTorn) {
    made.torn = true;
    // Cut inside the last entry's frame: it is lost, nothing before it.
    const size_t last = kFrameHead + entries.back().size();
    made.file.resize(made.file.size() - 1 - where % (last - 1));
    made.expected.pop_back();
    return made;
  }
  // One byte after the header changed: the entries before its frame stay.
  const size_t at = kJournalHeader + where * (made.file.size() - kJournalHeader) / 256;
  made.file[at] = static_cast<char>(made.file[at] ^ 0x5A);
  size_t frame_end = kJournalHeader;
  size_t before = 0;
  while (frame_end + kFrameHead + entries[before].size() <= at) {
    frame_end += kFrameHead + entries[before].size();
    ++before;
  }
  made.expected.resize(before);
  return made;
}

JournalContents CheckJournalReading(const FuzzedJournal& journal) {
  const JournalReading reading = ReadJournalBytes(journal.file);
  if (journal.framed) FUZZ_CHECK(reading.entries == journal.expected);
  if (journal.whole) FUZZ_CHECK(reading.problem.empty());
  if (journal.torn) FUZZ_CHECK(!reading.problem.empty() && !reading.damaged);
  for (const std::string& bytes : reading.entries) {
    JournalEntry entry;
    if (!DecodeEntry(bytes, &entry)) continue;
    const std::string once = EncodeEntry(entry);
    FUZZ_CHECK(EntryType(once) == EntryType(bytes));
    JournalEntry again;
    FUZZ_CHECK(DecodeEntry(once, &again));
    FUZZ_CHECK(EncodeEntry(again) == once);
  }
  JournalContents contents = ReadBack(reading.entries);
  const JournalTotals totals = CountJournal(reading.entries);
  FUZZ_CHECK(totals.open_operations == static_cast<int>(contents.operations.size()));
  FUZZ_CHECK(totals.unreadable == contents.unreadable);
  FUZZ_CHECK(static_cast<size_t>(totals.waiting_rows) * kReportRecordLength ==
             WaitingRows(contents).size());
  return contents;
}

std::string WaitingRows(const JournalContents& contents) {
  std::string rows;
  for (const JournalDocument& d : contents.waiting)
    for (const ReportRecordBytes& row : d.rows) rows.append(row.data(), row.size());
  return rows;
}

}  // namespace tillgate
