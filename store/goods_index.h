#pragma once
// The look-up keys of a goods file, built in one pass over its records: for
// CODE and for SH_CODE, a 64-bit hash of each record's whole field with the
// record's number, sorted by hash and then by number (12 bytes a key). A
// look-up hashes the whole field it wants (its key padded with spaces to
// the field's width) and reads only the records whose field has that hash,
// in file order, until one of them holds it: the record a scan of the whole
// file would find first. Deleted records are keys like any other, as the
// scan does not look at the flag.
//
// The index describes the file as it was when it was built (its FileStat):
// whoever uses it checks first that the file is still that.

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "store/goods_layout.h"

namespace tillgate {

// Which field a key is looked for in.
enum class GoodsKey : uint8_t { kCode, kBarcode };

class GoodsIndex {
 public:
  struct Entry {
    uint32_t hash_high;
    uint32_t hash_low;
    uint32_t record;  // from 1
  };

  // Builds the index of `file`, whose fields lie as `layout` says. The
  // header's record count and lengths are read afresh, as a scan reads
  // them: records up to the count or the last whole one in the file, a
  // field that does not lie within the record never matching. `stop` (may
  // be null) is looked at between reads and gives up the build. Not ok (and
  // `*index` untouched) when the file cannot be read (with the system's
  // reason; "its header is cut short" when there is no usable header), when
  // memory runs out, or when the file changed while it was read.
  static Status Build(File& file, const GoodsLayout& layout, const std::atomic<bool>* stop,
                      GoodsIndex* index);

  // The hash of a field's whole bytes.
  static uint64_t Hash(std::string_view bytes);

  // The records whose `key` field may hold `field` (the field's whole
  // bytes): those with its hash, in file order.
  std::span<const Entry> Candidates(GoodsKey key, std::string_view field) const;

  // The file as it was when the index was built.
  const FileStat& Stat() const { return stat_; }
  // The file as it is after a write of our own that changes no key.
  void Restat(const FileStat& stat) { stat_ = stat; }
  uint16_t HeaderLength() const { return header_length_; }
  uint16_t RecordLength() const { return record_length_; }
  uint32_t Records() const { return records_; }
  // Whether a record found can be handed out whole (a record longer than a
  // goods record may be never is: a scan would not find it either).
  bool HandsOut() const { return record_length_ <= kMaxGoodsRecordLength + 1; }
  // The memory its keys take.
  size_t Bytes() const;

 private:
  const std::vector<Entry>& Entries(GoodsKey key) const {
    return key == GoodsKey::kCode ? code_ : barcode_;
  }

  FileStat stat_;
  uint16_t header_length_ = 0;
  uint16_t record_length_ = 0;
  uint32_t records_ = 0;
  std::vector<Entry> code_;
  std::vector<Entry> barcode_;
};

}  // namespace tillgate
