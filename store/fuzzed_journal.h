#pragma once
// A journal file made of a fuzzer's input, for the journal's fuzz targets:
// the input's bytes as the file, or entries framed as the server writes
// them (whole, with the last one cut short as a stop leaves it, or with one
// byte changed), and the checks of what reading it gives.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/journal_entries.h"

namespace tillgate {

struct FuzzedJournal {
  // An input: byte 0, bits 0-1, the form (below; the other bits are the
  // target's own); byte 1, where the file is cut or damaged; then the file,
  // or the entries, each two bytes of length (little-endian) and its bytes.
  static constexpr size_t kHeadBytes = 2;
  enum Form : uint8_t { kAsIs, kWhole, kTorn, kDamaged };

  std::string file;
  // Not kAsIs: the entries reading must give back, all that were framed or
  // those before the cut or the damage.
  bool framed = false;
  std::vector<std::string> expected;
  bool whole = false;  // framed and left as it was
  bool torn = false;   // its last entry cut short
};

// `size` is at least kHeadBytes.
FuzzedJournal MakeFuzzedJournal(const uint8_t* data, size_t size);

// Reads the file as a check and a start do: the entries read are those
// expected, every entry that decodes encodes to bytes that decode to the
// same, and the counts agree with what the entries leave. Aborts on any
// fault; returns what they leave.
JournalContents CheckJournalReading(const FuzzedJournal& journal);

// The rows `contents` keeps waiting, in the order they go to the report.
std::string WaitingRows(const JournalContents& contents);

}  // namespace tillgate
