// Random, torn and damaged journals through the journal's reading, the
// entries' decoding and what they leave for a start (ReadBack): see
// fuzzed_journal.h for the input and the checks. A store started over such
// journals is journal_start_fuzzer's.
//
// Inputs are at most TILLGATE_FUZZ_MAX_LEN (4096) bytes: the header and some
// thirty entries, among them a few open operations (112 bytes each),
// register states and two or three documents with their rows (134 bytes a
// row). Longer journals only repeat entries.

#include <cstddef>
#include <cstdint>

#include "store/fuzzed_journal.h"

namespace {
constexpr size_t kMaxInput = TILLGATE_FUZZ_MAX_LEN;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tillgate;
  if (size > kMaxInput) return -1;
  if (size < FuzzedJournal::kHeadBytes) return 0;
  CheckJournalReading(MakeFuzzedJournal(data, size));
  return 0;
}
