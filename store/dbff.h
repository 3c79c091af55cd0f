#pragma once
// Record-level access to dBASE III files: header summary, field discovery,
// key scan, single-field read and write in place, report append, numeric
// field text. No index and no record cache: every scan reads the file again.
// Every length and position taken from a file is checked before use.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/file_system.h"

namespace tillgate {

inline constexpr int kWorkBufferSize = 3000;
// Field descriptors beyond this many header bytes are never seen.
inline constexpr int kHeaderReadLimit = 2500;
inline constexpr int kDescriptorSize = 32;
inline constexpr int kMinHeaderLength = 33;  // summary + terminator
inline constexpr int kReportHeaderLength = 386;
inline constexpr int kReportRecordLength = 134;

struct DbfHeader {
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
};

// Where a field lies. length 0 = no such field.
struct DbfField {
  int length = 0;
  int decimals = 0;
  char type = 0;
  int position = 0;  // 1 + sum of the lengths before it; the flag is at 0
};

class TDBFF {
 public:
  // Header summary from the first 16 bytes. False when the read fails or
  // the file is shorter than that.
  bool ReadHeader(File* file, DbfHeader* header);

  // Reads up to kHeaderReadLimit bytes from the start of the file into the
  // work buffer for FindField. Returns the count read, or -1 on failure.
  int LoadHeaderBytes(File* file);
  // Looks a field up in the header bytes last loaded. Only descriptor slots
  // lying wholly within those bytes, before the 0x0D terminator, and within
  // the (header length - 34) / 32 + 1 slots the header length allows, are
  // examined. The name compares case-insensitively unless `exact_case`.
  DbfField FindField(std::string_view name, bool exact_case) const;
  // Sum of the field lengths of those same slots (for the record length check).
  int DeclaredFieldsLength() const;

  // Number (1-based) of the first record whose bytes from `position` on
  // start with `key`, with the record minus its flag copied to `out` (byte
  // at record position p at index p - 1) and zero-terminated. -1 when none,
  // on any failure, or when the record would not fit `out_size` - 1 bytes.
  // With `field_length` above the key's length, the rest of the field must
  // be spaces: the field holds the key, not merely starts with it. A read
  // that failed sets `*failed` (when given), so that "not there" and "could
  // not be read" can be told apart; ReadFailure says why.
  int32_t FindRecord(File* file, int position, std::string_view key, char* out, size_t out_size,
                     int field_length = 0, bool* failed = nullptr);
  // Why the latest read of a file failed (with the system's error number).
  const Status& ReadFailure() const { return read_failure_; }

  // Visits records 1.. in reads of floor(3000 / record length) records.
  // `visit(number, record, record_length)` returns false to stop. Returns
  // false when the header cannot be read or is unusable (record length 0 or
  // above the work buffer) or a read fails; a file ending early stops the
  // visit at its last whole record.
  template <typename Visit>
  bool ScanRecords(File* file, Visit&& visit);

  // The field at header length + record length * (number - 1) + position,
  // `length` bytes. Refused (false) when the field does not lie within the
  // record, the number is below 1 or the transfer fails. ReadField leaves a
  // zero after the bytes in `out` (which must hold length + 1).
  bool ReadField(File* file, int record_length, int header_length, int32_t record_number,
                 int position, int length, char* out);
  bool WriteField(File* file, int record_length, int header_length, int32_t record_number,
                  int position, int length, const char* text);

  // Appends one report record (kReportRecordLength bytes) at the end of the
  // whole records, then writes today's date and the new count into header
  // bytes 1..7. True only when both the record and the header were written.
  // `*record_written` (when given) tells whether the record itself is in the
  // file, so a caller can tell a lost record from a stale header.
  bool AppendRecord(File* file, const char* record, bool* record_written = nullptr);
  // Writes today's date and `count` into header bytes 1..7.
  bool WriteRecordCount(File* file, uint32_t count);

  // Numeric field text: W characters, the point at W - D - 1, the integer
  // part right-aligned before it, then D decimals, then a zero at index W.
  // False (and `out` holds W spaces) when the integer part does not fit or
  // the value is not a finite number: a cut number is never written.
  static bool FormatNumber(double value, int width, int decimals, char* out);

  // Copies `count` bytes of `area` starting at 1-based `start`, then a zero.
  static void CopyBytes(const char* area, int start, int count, char* out);

  const char* WorkBuffer() const { return buffer_; }
  int LoadedHeaderBytes() const { return loaded_; }

 private:
  // Reads up to `n` bytes at `offset` into the work buffer; count or -1.
  int ReadChunk(File* file, uint64_t offset, size_t n);

  char buffer_[kWorkBufferSize] = {};
  int loaded_ = 0;  // header bytes from LoadHeaderBytes
  Status read_failure_;
};

template <typename Visit>
bool TDBFF::ScanRecords(File* file, Visit&& visit) {
  DbfHeader header;
  if (!ReadHeader(file, &header)) return false;
  const int length = header.record_length;
  if (length == 0 || length > kWorkBufferSize) return false;
  const uint32_t per_read = kWorkBufferSize / length;
  uint64_t offset = header.header_length;
  // Record numbers are signed 32-bit; a count beyond that is cut there.
  const uint32_t count = std::min<uint32_t>(header.record_count, INT32_MAX);
  uint32_t done = 0;
  while (done < count) {
    const uint32_t want = std::min<uint32_t>(per_read, count - done);
    const int got = ReadChunk(file, offset, static_cast<size_t>(want) * length);
    if (got < 0) return false;
    const uint32_t whole = static_cast<uint32_t>(got) / length;
    for (uint32_t i = 0; i < whole; ++i) {
      ++done;
      if (!visit(static_cast<int32_t>(done), buffer_ + i * length, length)) return true;
    }
    if (whole < want) return true;  // the file ends before the count says
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace tillgate
