#include "store/goods_index.h"

#include <algorithm>
#include <climits>
#include <new>

#include "store/dbff.h"

namespace tillgate {
namespace {

// Records are read in pieces of about this many bytes.
constexpr size_t kReadBytes = 1 << 20;

const Status kCutShort(Status::kError, "its header is cut short");

uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// A field a record of `record_length` holds whole; others never match.
bool Fits(const DbfField& field, int record_length) {
  return field.length > 0 && field.position >= 1 && field.position + field.length <= record_length;
}

bool Before(const GoodsIndex::Entry& a, const GoodsIndex::Entry& b) {
  if (a.hash_high != b.hash_high) return a.hash_high < b.hash_high;
  if (a.hash_low != b.hash_low) return a.hash_low < b.hash_low;
  return a.record < b.record;
}

GoodsIndex::Entry EntryOf(uint64_t hash, uint32_t record) {
  return {static_cast<uint32_t>(hash >> 32), static_cast<uint32_t>(hash), record};
}

}  // namespace

uint64_t GoodsIndex::Hash(std::string_view bytes) {
  // FNV-1a, then a finalizer that spreads every bit over the whole word.
  uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

Status GoodsIndex::Build(File& file, const GoodsLayout& layout, const std::atomic<bool>* stop,
                         GoodsIndex* index) {
  FileStat before;
  Status s = file.Stat(&before);
  if (!s.ok()) return s;
  unsigned char head[16];
  size_t got = 0;
  s = file.ReadAt(0, reinterpret_cast<char*>(head), sizeof head, &got);
  if (!s.ok()) return s;
  if (got < sizeof head) return kCutShort;
  GoodsIndex built;
  built.stat_ = before;
  built.header_length_ = static_cast<uint16_t>(Le(head + 8, 2));
  built.record_length_ = static_cast<uint16_t>(Le(head + 10, 2));
  const int length = built.record_length_;
  // A scan cannot read records of no length or longer than its buffer.
  if (length == 0 || length > kWorkBufferSize) return kCutShort;
  const uint32_t counted = std::min<uint32_t>(Le(head + 4, 4), INT32_MAX);
  const uint64_t room = before.size > built.header_length_
                            ? (before.size - built.header_length_) / static_cast<uint64_t>(length)
                            : 0;
  const uint32_t expected = static_cast<uint32_t>(std::min<uint64_t>(counted, room));
  const bool by_code = Fits(layout.code, length);
  const bool by_barcode = layout.sh_code.length > 0 && Fits(layout.sh_code, length);

  try {
    if (by_code) built.code_.reserve(expected);
    if (by_barcode) built.barcode_.reserve(expected);
    const uint32_t per_read = static_cast<uint32_t>(std::max<size_t>(1, kReadBytes / length));
    std::vector<char> buffer(static_cast<size_t>(per_read) * length);
    uint64_t offset = built.header_length_;
    uint32_t done = 0;
    while (done < counted) {
      if (stop && stop->load(std::memory_order_relaxed)) return Status(Status::kError, "stopped");
      const uint32_t want = std::min(per_read, counted - done);
      s = file.ReadAt(offset, buffer.data(), static_cast<size_t>(want) * length, &got);
      if (!s.ok()) return s;
      const uint32_t whole = static_cast<uint32_t>(got / static_cast<size_t>(length));
      for (uint32_t i = 0; i < whole; ++i) {
        const char* record = buffer.data() + static_cast<size_t>(i) * length;
        ++done;
        if (by_code)
          built.code_.push_back(EntryOf(
              Hash({record + layout.code.position, static_cast<size_t>(layout.code.length)}),
              done));
        if (by_barcode)
          built.barcode_.push_back(EntryOf(
              Hash({record + layout.sh_code.position, static_cast<size_t>(layout.sh_code.length)}),
              done));
      }
      if (whole < want) break;  // the file ends before the count says
      offset += got;
    }
    built.records_ = done;
    std::sort(built.code_.begin(), built.code_.end(), Before);
    std::sort(built.barcode_.begin(), built.barcode_.end(), Before);
  } catch (const std::bad_alloc&) {
    return Status(Status::kError, "not enough memory for its index");
  }
  FileStat after;
  s = file.Stat(&after);
  if (!s.ok()) return s;
  if (!(after == before)) return Status(Status::kError, "it changed while its index was built");
  *index = std::move(built);
  return Status::kOk;
}

std::span<const GoodsIndex::Entry> GoodsIndex::Candidates(GoodsKey key,
                                                          std::string_view field) const {
  const std::vector<Entry>& entries = Entries(key);
  const uint64_t hash = Hash(field);
  const Entry first = EntryOf(hash, 0);
  const Entry last = EntryOf(hash, UINT32_MAX);
  const auto begin = std::lower_bound(entries.begin(), entries.end(), first, Before);
  const auto end = std::upper_bound(begin, entries.end(), last, Before);
  return {begin, end};
}

size_t GoodsIndex::Bytes() const {
  return (code_.capacity() + barcode_.capacity()) * sizeof(Entry);
}

}  // namespace tillgate
