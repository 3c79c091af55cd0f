// A store started over a random, torn or damaged journal (made as
// fuzzed_journal.h says), twice when the first start crashes at one of its
// writes. Whatever the journal and wherever the crash, once a start has run
// through, the rows the journal kept waiting are in the report once each and
// in order, its open operations are pending again (as far as the pool holds
// them), every register's last operation is one of them, and the journal
// left behind reads cleanly and keeps them.
//
// Byte 0 of an input, beside the journal's form: bit 2, the first start
// crashes; bits 3-6, at which of its writes (1-16); bit 7, the write is
// torn. Inputs are at most TILLGATE_FUZZ_MAX_LEN (4096) bytes, as for
// journal_fuzzer.
//
// Every input starts a store (its pool alone is 500 records), which bounds
// this target's speed; the reading is fuzzed faster by journal_fuzzer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/fault_file_system.h"
#include "platform/memory_file_system.h"
#include "store/fuzz_check.h"
#include "store/fuzzed_journal.h"
#include "store/journal.h"
#include "store/tdb.h"
#include "store/tdb_probe.h"

using namespace tillgate;

namespace {

constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;

// A store built in the same memory for every input: a new allocation of its
// size (the pool alone is some 70 KB) costs fresh pages each time, which
// was most of what an input took. Destroyed before the next is built.
class StoreSite {
 public:
  TDB& Start(FileSystem& fs) {
    Stop();
    store_ = new (storage_) TDB("g", "r", fs, nullptr, "s");
    return *store_;
  }
  void Stop() {
    if (store_) store_->~TDB();
    store_ = nullptr;
  }

 private:
  alignas(TDB) unsigned char storage_[sizeof(TDB)];
  TDB* store_ = nullptr;
};

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
  return v;
}

// The report holds `rows` and nothing else, and its header counts them.
void CheckReport(const std::string& report, const std::string& rows) {
  FUZZ_CHECK(report.size() == kReportHeaderLength + rows.size());
  FUZZ_CHECK(Le32(report, 4) * uint64_t{kReportRecordLength} == rows.size());
  FUZZ_CHECK(report.compare(kReportHeaderLength, std::string::npos, rows) == 0);
}

// Documents a server can have written: ids from 1 up, never two alike. A
// document under id 0 is gone from the journal at the first mark that only
// keeps the report's end (it books id 0, "nothing"); a report file created
// at a start writes such a mark before any row, so a crash right after it
// loses that document. No server numbers a document 0.
bool ServerIds(const std::vector<JournalDocument>& documents) {
  std::vector<JournalId> ids;
  for (const JournalDocument& d : documents) ids.push_back(d.id);
  std::sort(ids.begin(), ids.end());
  return (ids.empty() || ids.front() != 0) &&
         std::adjacent_find(ids.begin(), ids.end()) == ids.end();
}

void CheckStarted(TDB& store, MemoryFileSystem& disk, const JournalContents& contents) {
  TdbProbe probe(store);
  TPEREBOR& pool = probe.Pool();
  FUZZ_CHECK(pool.PendingCount() ==
             static_cast<int>(std::min<size_t>(contents.operations.size(), TPEREBOR::kCapacity)));
  FUZZ_CHECK(probe.QueuedRows() == 0);
  // A register's last operation, kept to take back a repeated message, is
  // always one still pending.
  for (uint32_t line = 0; line < static_cast<uint32_t>(kPortCount); ++line) {
    for (uint8_t network = 1; network <= kRegistersPerLine; ++network) {
      const RegisterState* state = probe.Register(line, network);
      FUZZ_CHECK(state->last_operation == -1 || pool.IsPending(state->last_operation));
    }
  }
  const JournalReading left = ReadJournalBytes(disk.Get("s/journal"));
  FUZZ_CHECK(left.problem.empty());
  const JournalContents kept = ReadBack(left.entries);
  FUZZ_CHECK(kept.waiting.empty());
  FUZZ_CHECK(kept.unreadable == 0);
  FUZZ_CHECK(static_cast<int>(kept.operations.size()) == pool.PendingCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;
  if (size < FuzzedJournal::kHeadBytes) return 0;
  const bool crash = data[0] & 4;
  const int crash_at = 1 + (data[0] >> 3 & 15);
  const bool torn_crash = data[0] & 0x80;
  static StoreSite* const site = new StoreSite;
  const FuzzedJournal journal = MakeFuzzedJournal(data, size);
  const JournalContents contents = CheckJournalReading(journal);

  // No goods file: a journal's stock movements are taken back only in the
  // very file they were made in, which no input can name.
  MemoryFileSystem disk;
  disk.Put("s/journal", journal.file);
  FaultFileSystem fs(&disk);
  if (crash) {
    fs.CrashAtWrite(crash_at, torn_crash);
    site->Start(fs);
    site->Stop();
    fs.Clear();
  }
  CheckStarted(site->Start(fs), disk, contents);
  // A server never writes two documents under one id, and one mark books
  // both: after a crash between them, the report rightly lacks the second.
  // Nor one under id 0 (ServerIds).
  if (!crash || ServerIds(contents.waiting))
    CheckReport(disk.Get("r/otchet.dbf"), WaitingRows(contents));
  site->Stop();  // before the file system it works on goes
  return 0;
}
